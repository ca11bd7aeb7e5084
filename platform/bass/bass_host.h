// What the host needs from the BASS stand-in and the system never sees: the
// music time of the stream being played, as the system would compute it.
#pragma once

namespace bass_host {

// Seconds of the playing stream at its current position; false when no
// stream plays.
bool CurrentStreamSeconds(double& seconds);

}  // namespace bass_host
