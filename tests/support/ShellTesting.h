// Puts the shell's process-wide variables and every stand-in back to their
// starting state, so that tests can run start-up and frames again and again
// in one process.
#pragma once

// The host and the runtime back to their start as a headless run, with the
// show's facts installed and the call log recording.
void ResetHost();

void ResetShellState();
