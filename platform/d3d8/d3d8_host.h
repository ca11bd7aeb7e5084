// What the host and the tests need from the Direct3D stand-in and the system
// never sees: reading the presented picture back.
#pragma once

#include <d3d8.h>

#include <cstdint>
#include <vector>

namespace d3d8_host {

// Reads the device's offscreen target (the picture that Present shows) as
// tightly packed 8-bit RGB rows, top row first. False when there is no device.
bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, int& width, int& height);

}  // namespace d3d8_host
