// Test-only controls of the BASS stand-in, which the system never sees: make
// BASS_Init or BASS_Start fail, and put the stand-in back to its starting
// state. Headless tests drive the clock with runtime::AdvanceVirtualFramesForTesting.
#pragma once

namespace bass_testing {

// BASS_Init (or BASS_Start) records its call and returns FALSE while set.
void FailInit(bool fail);
void FailStart(bool fail);

// Rate of the opened audio device, 0 when none is open (headless, no sound).
int DeviceRate();

// Frees every stream and the output without recording calls, and ends the
// failures.
void Reset();

}  // namespace bass_testing
