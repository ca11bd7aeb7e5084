// The show's scenes by slot: slot 0 holds scene 1, and so on to slot 4.
#pragma once

class P_Part;

// A new, uninitialised scene for the slot, or null while that scene does not exist.
P_Part* CreateScene(int slot);
