// Capture in a browser: a page writes no files, so it makes no video and no
// frames; asking for them is refused before the show starts, and the rest
// has nothing to do.
#include "Capture.h"

namespace host {

bool PrepareCapture(const runtime::Options& options, std::string& message)
{
    if (options.capturePath.empty() && options.framesDir.empty()) return true;
    message = "a page cannot write a video or frames; the player does (bralmond --capture FILE, --frames DIR)";
    return false;
}

void CaptureFrame(IDirect3DDevice8*, double) {}

bool FinishCapture(std::string&)
{
    return true;
}

int InterruptionSignal()
{
    return 0;
}

void ResetCapture() {}

}  // namespace host
