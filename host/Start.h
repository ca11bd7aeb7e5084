// --start: begins the show at a later music time as if it had played from
// its beginning. Every scene's clock starts at the first frame in which the
// scene is drawn, so before going to the start the run draws, outside its
// output, the first frame of each scene that begins earlier, at the moment
// that frame would have come; then it moves the music and the clock to the
// start.
#pragma once

namespace host {

// Whether the run is still on its way to --start: the frames presented until
// then show nothing of the run (no screenshots, no captured frames).
bool StartPending();

// Called after each frame presented while the start is pending, with the
// music time that frame showed (the run's first frame is always at 0): moves
// the music and the clock to the next scene's first frame and asks for that
// frame (a posted WM_PAINT), or, when no scene is left before the start, to
// the start itself. A headless run moves its virtual clock, which the stream
// follows; a live run seeks the stream and shifts the tick count with it.
void ContinueToStart(double musicSeconds);

// Forgets the progress towards the start (tests).
void ResetStart();

}  // namespace host
