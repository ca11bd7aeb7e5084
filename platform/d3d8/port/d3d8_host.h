// What the host and the tests need from the Direct3D stand-in and the system
// never sees: reading the presented picture back, the hook that lets the host
// see every presented frame, the host's marks over the shown picture and its
// hidden frames, and the window surfaces' attributes.
#pragma once

#include <d3d8.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace d3d8_host {

// Reads the device's offscreen target (the picture that Present shows) as
// tightly packed 8-bit RGB rows, top row first. False when there is no device.
bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, int& width, int& height);

// Read-back that does not hold the renderer up (capture): QueueReadBack starts
// reading the picture just presented; TakeReadBack gives the oldest queued one
// as RGB rows, bottom row first, once it has arrived (at once with wait
// false: false when it is not there yet). Queued pictures outlive the device.
bool QueueReadBack(IDirect3DDevice8* device);
size_t QueuedReadBacks();
bool TakeReadBack(std::vector<uint8_t>& rgbBottomUp, int& width, int& height, bool wait);

// The pixels that the draws of the presented frames filled, and the frames,
// counted while the run's countPixels option is set (the host's --stats).
void PixelsFilled(uint64_t& pixels, uint64_t& frames);

// Called after every Present (shown or lost) with the device. It returns
// whether the frame counts on the runtime's clock, which the device then
// advances; with no observer every frame counts. Null removes it.
using PresentObserver = std::function<bool(IDirect3DDevice8* device)>;
void SetPresentObserver(PresentObserver observer);

// While hidden, Present renders and counts frames as always but shows
// nothing in the window: the frames the host draws on the way to a music
// time, which the viewer should not see flash by.
void HidePresents(bool hidden);

// The host's marks over the shown picture (the position bar): rectangles of
// one colour each (0xRRGGBB), in a canvas of canvasWidth by canvasHeight
// (top row 0) that is scaled onto the picture where Present shows it in the
// window. They are drawn after the picture reaches the window, never into the
// device's own target, so no read-back, shot or captured frame holds them.
// An empty list draws nothing; the list stays until it is set again.
struct OverlayRect {
    int x, y, width, height;
    uint32_t rgb;
};
void SetOverlay(const std::vector<OverlayRect>& rects, int canvasWidth, int canvasHeight);

// Sets the OpenGL attributes that window surfaces need; called once SDL's
// video is up and before the system makes its window.
void PrepareWindowSurfaces();

}  // namespace d3d8_host
