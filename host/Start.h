// Moving the show to a music time as if it had played there from its
// beginning: --start, and the viewer's moves (Keys.h). Every scene's clock
// starts at the first frame in which the scene is drawn, so before going to
// the target the run draws, outside its output, the first frame of each scene
// that begins earlier and has not been drawn yet, at the moment that frame
// would have come; then it moves the music and the clock to the target. A
// scene drawn before keeps its clock, which reads right again once the clock
// is where a run from the beginning would have it.
#pragma once

namespace host {

// Called for every presented frame with the music time it showed: notes the
// run's first frame (the clock's reference) and which scenes have been drawn.
void NoteFrameShown(double musicSeconds);

// Whether the run is on its way to a music time: the frames presented until
// then show nothing of the run (no screenshots, no captured frames).
bool MovePending();

// Begins a move to target after the frame just presented; false,
// with nothing moved, when target is not within the music. A headless run
// moves its virtual clock, which the stream follows; a live run seeks the
// stream and shifts the tick count with it.
bool MoveTo(double target);

// Called after each frame presented while a move is pending: goes on to the next scene's first frame and asks
// for that frame (a posted WM_PAINT), or, when no scene is left before the
// target, to the target itself.
void ContinueMove();

// Forgets the moves and the scenes drawn (tests).
void ResetStart();

}  // namespace host
