// The position bar that the host shows over the picture for a moment after
// a key (and on the page while the pointer is over the picture): a thin
// strip across the bottom with the music time, the show's length, the scene
// and a track of the position. It is made of plain rectangles handed to the
// Direct3D stand-in's overlay, so it lies over the window's picture only and
// never in a shot, a frame or a capture. It owns only its look and geometry;
// when it shows is the keys' matter (Keys.h).
#pragma once

#include "d3d8_host.h"

#include <string>
#include <vector>

namespace host {

// The label of the scene at a music time: "scene 1" to "scene 5", "fade"
// from the fade on.
std::string SceneLabel(double musicSeconds);

// A music time as minutes and seconds ("3:30").
std::string ClockText(double seconds);

// The bar's rectangles for the position musicSeconds in a canvas of the back
// buffer's size.
std::vector<d3d8_host::OverlayRect> PositionBarRects(double musicSeconds, bool paused);

// The music time that a click at (x, y) of the canvas asks for: true on the
// bar, with the time under the pointer along its track.
bool PositionBarTarget(double x, double y, double& seconds);

// Shows the bar at musicSeconds (hidden: removes it); a bar already showing
// the same is left as it is.
void ShowPositionBar(bool shown, double musicSeconds, bool paused);

}  // namespace host
