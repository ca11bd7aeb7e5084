// Helpers for rendering tests: a headless Direct3D 8 device of a given back
// buffer size, and the rendered picture read back in Direct3D's screen
// coordinates (origin at the top left).
#pragma once

#include <d3d8.h>

#include <cstdint>
#include <vector>

// A device with a w by h back buffer, 16-bit depth, created the way the
// shell creates its device; null (with a gtest failure) when that fails.
// Release it when done.
IDirect3DDevice8* CreateTestDevice(UINT width = 800, UINT height = 600);
// The same, for tests of a refusal: the result of CreateDevice, and the
// device in *device (null when refused).
HRESULT TryCreateTestDevice(UINT width, UINT height, IDirect3DDevice8** device);

// The offscreen picture as top-down RGB rows (3 bytes a pixel).
std::vector<uint8_t> ReadPixels(IDirect3DDevice8* device, int* width = nullptr, int* height = nullptr);

// One pixel of the picture as 0xRRGGBB; 0xFF000000 outside it.
uint32_t PixelAt(IDirect3DDevice8* device, int x, int y);
uint32_t PixelAt(const std::vector<uint8_t>& rgb, int width, int height, int x, int y);

// Matrices for drawing in pixels: identity, and a projection that maps a
// camera-space point (x, y) to the back-buffer pixel (x, y) of a width by
// height screen (y down, z kept, w 1). With identity world and view,
// vertices are then given in screen pixels.
D3DMATRIX IdentityMatrix();
D3DMATRIX PixelProjection(UINT width = 800, UINT height = 600);
