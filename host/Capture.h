// Capturing a headless run: every frame of its output and the sound that goes
// with it, into a video made by ffmpeg (--capture) and/or a folder of
// numbered PNG pictures with a WAV file (--frames), with a progress line on
// stderr. The sound of each frame is the soundtrack as the show played it
// during that frame, so picture and sound stay together sample for sample.
#pragma once

#include <d3d8.h>

#include "runtime.h"

#include <cstdint>
#include <string>

namespace host {


// Checks what the capture options need before the show starts: ffmpeg on the
// PATH and a writable folder for the video; makes the frames folder when it is
// missing. True when there is nothing to capture. False with a message when
// the capture cannot be made (the process then exits with 1).
bool PrepareCapture(const runtime::Options& options, std::string& message);

// Takes one frame of the run's output: the picture that the device presented
// and the sound of the frame's time on the virtual clock. A failure (ffmpeg
// gone, a file that cannot be written) fails the run.
void CaptureFrame(IDirect3DDevice8* device, double musicSeconds);

// After the show: closes the sound files and the video encoder and adds the
// sound to the video. False with a message when the result is not complete.
bool FinishCapture(std::string& message);

// The signal (SIGINT, SIGTERM, SIGHUP) that interrupted the capture, or 0.
// The capture then ends at the next frame with its hidden parts removed and
// no video, and the process exits with 128 + the signal.
int InterruptionSignal();

// Forgets a capture without finishing it (tests).
void ResetCapture();

// The progress line: frame count, music time, frames per second of the
// capture and the time it still needs (negative: not known yet).
std::string ProgressLine(uint64_t frames, double musicSeconds, double framesPerSecond, double secondsLeft);

}  // namespace host
