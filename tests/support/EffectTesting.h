// Helpers for the tests of effects and scenes: the shell's device set up on
// a headless test device, a snapshot of every device state an effect may
// touch (to check that it restores them), and small textures.
#pragma once

#include <d3d8.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The device's render states, texture stage states of stages 0 and 1, and
// bound textures, as comparable values.
struct DeviceStates {
    std::vector<DWORD> values;
    bool operator==(const DeviceStates& other) const { return values == other.values; }
};
DeviceStates SnapshotStates(IDirect3DDevice8* device);
// Names of the entries that differ, for failure messages.
std::string DescribeDifferences(const DeviceStates& before, const DeviceStates& after);

// A width by height texture with one mip level whose texel (x, y) is
// texel(x, y) as 0xAARRGGBB.
IDirect3DTexture8* MakeTexture(IDirect3DDevice8* device, UINT width, UINT height,
                               const std::function<uint32_t(UINT, UINT)>& texel);

// Puts a headless 800 by 600 test device into g_device for the test's time.
class ShellDeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The picture now, and one pixel of it as 0xRRGGBB.
    void Capture();
    uint32_t At(int x, int y) const;
    std::vector<uint8_t> picture;
    int width = 0, height = 0;
};

// Whether two 0xRRGGBB colours differ by at most tolerance in every channel.
bool Near(uint32_t a, uint32_t b, int tolerance = 1);
