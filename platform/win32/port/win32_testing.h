// Test-only controls of the Win32 stand-in: make calls fail, inspect and
// reset the window state. The system never sees this header.
#pragma once

#include <windows.h>

#include <cstddef>

namespace win32_testing {

void FailRegisterClass(bool fail);
void FailCreateWindow(bool fail);
// Whether the cursor is currently hidden over the windows.
bool CursorHidden();
// Number of live windows and registered classes.
size_t WindowCount();
size_t ClassCount();
// Messages waiting in the queue.
size_t QueuedMessages();
// Destroys every window, unregisters every class, empties the queue and
// clears the failure switches.
void Reset();

}  // namespace win32_testing
