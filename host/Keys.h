// The viewer's keys, which belong to the host and not to the show: Space
// pauses and resumes (the picture holds, the music pauses, the clocks stop),
// Left and Right move 5 seconds, Page Up and Page Down 30, Home goes back to
// 0; Escape stays the show's own. A live run takes them from the window's
// input before the show's window procedure could see them; --keys presses
// them at set times (tests, on the virtual clock). Every move goes the way
// --start goes (Start.h), so the scenes' clocks read as in a run from the
// beginning. The position bar (PositionBar.h) shows for a moment after a key,
// while paused, and on the page while the pointer is over the picture.
#pragma once

#include <string>

namespace host {

// Registers the key taker with the Win32 stand-in (main, before the show).
void InstallKeys();

// Called for every frame of the run's output with the music time it showed:
// presses the keys that are due and updates the bar. Returns whether the
// frame counts on the virtual clock: not while a headless run is paused, nor
// after a move, which has set the clock itself.
bool KeysAfterFrame(double musicSeconds);

// Whether the show is paused.
bool Paused();

// The page: a move to a music time (a click on the bar), made after the next
// frame; and whether the pointer is over the picture (the bar shows then).
void RequestMove(double seconds);
void SetPointerOverPicture(bool over);

// The keys' names as --keys writes them ("space", "left", "right", "pageup",
// "pagedown", "home"), and the virtual-key code of one; 0 when unknown.
unsigned KeyOfName(const std::string& name);
const char* NameOfKey(unsigned key);

// Forgets the keys pressed and the pause (tests).
void ResetKeys();

}  // namespace host
