// The host: the roof of the port. It takes the show's facts from main,
// watches every presented frame through the Direct3D stand-in's present
// observer (the way to --start, screenshots, captured frames, the --until
// end, the stop of a headless run that never ends) and fails the run when
// one of its own services does. The run's options, clock and error state
// are the runtime's (runtime/runtime.h).
#pragma once

#include "ShowFacts.h"

#include "runtime.h"

#include <functional>
#include <string>

struct IDirect3DDevice8;

namespace host {

// Keeps the show's facts and registers the present observer with the
// Direct3D stand-in; main calls it before the system starts.
void Install(const ShowFacts& show);
const ShowFacts& Show();

// Marks the heap for large pages so that filling it at start-up costs fewer
// page faults (see LargePages.cpp); main calls it first.
void BackTheHeapWithLargePages();

// The music time of the playing stream, computed as the show computes it;
// false when no stream plays.
bool MusicSeconds(double& seconds);

// A failure of the host itself (a capture or a screenshot that could not be
// written, a start past the soundtrack's end): prints the message on stderr,
// ends the run as Escape would, and makes the process exit with 1.
void FailRun(const std::string& message);

// With --stats: the run's figures on stderr (start-up to the first frame of
// the show, frames and their rate from then on, pixels filled a frame with
// --count-pixels). Called by main after the show.
void PrintStats();

// Puts the host's own state back to its start (tests); the runtime too.
// The show's facts and the observer stay installed.
void ResetForTesting();

// Called for every frame of the run's output (after a --start has been
// reached), with the music time it shows; null removes it (tests).
using FrameObserver = std::function<void(IDirect3DDevice8* device, double musicSeconds)>;
void SetFrameObserverForTesting(FrameObserver observer);

}  // namespace host
