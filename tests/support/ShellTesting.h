// Puts the shell's process-wide variables and every stand-in back to their
// starting state, so that tests can run start-up and frames again and again
// in one process.
#pragma once

void ResetShellState();
