// Tests of the two ray-cast backdrops: the planes' and the tunnel's grid
// values at points worked out by hand and over the whole grid, their life
// cycles, the states they leave behind, and the grid read back from the
// headless device.
#include "E_Planes.h"
#include "E_Tunnel.h"
#include "EffectTesting.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct Grid {
    float u[kRayGridPoints];
    float v[kRayGridPoints];
    uint8_t shade[kRayGridPoints];
};

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

TEST(PlaneRays, CeilingOnlyRaysThatLookDownAreBlackAtTheCamerasOwnCoordinates)
{
    Grid g;
    CastPlaneRays(RotationXYZ(0.2f, 0.0f, 0.0f), 0, true, false, D3DXVECTOR3(10, -4000, 20), g.u, g.v, g.shade);
    for (int r = 0; r < 20; ++r) {
        for (int c = 0; c < kRayGridColumns; ++c) {
            const int e = RayGridEntry(c, r);
            EXPECT_EQ(g.shade[e], 0);
            EXPECT_FLOAT_EQ(g.u[e], 10 * 0.00015f);
            EXPECT_FLOAT_EQ(g.v[e], 20 * 0.00015f);
        }
    }
    EXPECT_GT(g.shade[RayGridEntry(40, 60)], 0) << "the top row sees the ceiling";
}

TEST(PlaneRays, GridValuesAgainstValuesWorkedOutByHand)
{
    Grid g;
    // Point (40, 60): ray (0.0000992 / 60, 30.0000992 / 60, 0.7), the 0.0001
    // rounded to a float next to 40 and 60. From eye height -2800 the
    // ceiling is 3150 above: hz = 3150 * 0.7 / 0.5000017 = 4409.985 and
    // hx = 3150 * 0.0000016531 / 0.5000017 = 0.010414; brightness
    // 450000 / 4409.985 = 102.04; v = 4409.985 * 0.00015 + 1000 * 0.00013234.
    CastPlaneRays(Identity(), 1000, true, true, D3DXVECTOR3(0, -2800, 0), g.u, g.v, g.shade);
    const int top = RayGridEntry(40, 60);
    EXPECT_EQ(g.shade[top], 102);
    EXPECT_NEAR(g.u[top], 1.5621e-6f, 1e-9f);
    EXPECT_NEAR(g.v[top], 0.7938378f, 1e-5f);

    // Point (80, 0): ray (40.0001 / 60, -29.9999 / 60, 0.7) looks down onto
    // the floor 2350 below eye height 2000: the factor 2350 / 0.4999983 gives
    // hx = 3133.352, hz = 3290.011, a distance of 4543.27 and brightness 99.05.
    CastPlaneRays(Identity(), 1000, false, false, D3DXVECTOR3(0, 2000, 0), g.u, g.v, g.shade);
    const int corner = RayGridEntry(80, 0);
    EXPECT_EQ(g.shade[corner], 99);
    EXPECT_NEAR(g.u[corner], 0.47000274f, 1e-5f);
    EXPECT_NEAR(g.v[corner], 0.4935016f, 1e-5f);

    // A quarter turn about Y takes the first ray's forward part onto x.
    CastPlaneRays(RotationXYZ(0.0f, 1.5707964f, 0.0f), 0, true, false, D3DXVECTOR3(0, -2800, 0), g.u, g.v,
                  g.shade);
    EXPECT_NEAR(g.u[top], 4409.985f * 0.00015f, 1e-5f);
    EXPECT_NEAR(g.v[top], 0.0f, 1e-5f);
}

TEST(PlaneRays, HitsWithinSeventeenHundredSixtyFourUnitsAreFullyBright)
{
    Grid g;
    CastPlaneRays(Identity(), 0, false, false, D3DXVECTOR3(0, 0, 0), g.u, g.v, g.shade);
    int full = 0;
    for (int e = 0; e < kRayGridPoints; ++e) {
        // Back from the texture coordinates to the hit's horizontal distance.
        const float distance = std::hypot(g.u[e], g.v[e]) / 0.00015f;
        if (distance < 1764.0f) {
            EXPECT_EQ(g.shade[e], 255) << distance;
            ++full;
        } else if (distance > 1766.0f) {
            EXPECT_LT(g.shade[e], 255) << distance;
        }
    }
    EXPECT_GT(full, 1000);
}

TEST(TunnelRays, OnTheAxisTheBrightnessStaysWithinTenToSeventyEightAndDepthOnlyShiftsU)
{
    Grid near, far;
    const D3DXMATRIX rotation = RotationXYZ(0.3f, 0.5f, 0.7f);
    CastTunnelRays(rotation, 500, false, false, D3DXVECTOR3(0, 0, 0), near.u, near.v, near.shade);
    CastTunnelRays(rotation, 500, false, false, D3DXVECTOR3(0, 0, 10), far.u, far.v, far.shade);
    for (int e = 0; e < kRayGridPoints; ++e) {
        EXPECT_GE(near.shade[e], 10);
        EXPECT_LE(near.shade[e], 78);
        EXPECT_EQ(far.shade[e], near.shade[e]);
        EXPECT_EQ(far.v[e], near.v[e]);
        EXPECT_NEAR(far.u[e] - near.u[e], 0.6f, 2e-6f * std::fabs(far.u[e]) + 1e-5f) << e;
    }
}

TEST(TunnelRays, TheWobblingTubeIsRoundAtTimeZeroAndWithinItsBoundsLater)
{
    const D3DXVECTOR3 eye(0, 0, 0);
    float smallest = 100.0f, largest = 0.0f;
    for (int i = 0; i < 16; ++i) {
        D3DXVECTOR3 d(std::cos(0.4f * i), std::sin(0.4f * i), 0.3f), hit;
        D3DXVec3Normalize(&d, &d);
        float s = 0.0f;
        ASSERT_TRUE(TunnelHit(d, eye, 0, true, &s, &hit));
        EXPECT_NEAR(hit.x * hit.x + hit.y * hit.y, 24.0f, 1e-3f);
        // sin(0.0002 * 7854) = 1: the squared radius wobbles between 24 and 42.
        ASSERT_TRUE(TunnelHit(d, eye, 7854, true, &s, &hit));
        const float radius = hit.x * hit.x + hit.y * hit.y;
        EXPECT_GE(radius, 24.0f - 1e-3f);
        EXPECT_LE(radius, 42.0f + 1e-3f);
        smallest = std::min(smallest, radius);
        largest = std::max(largest, radius);
        ASSERT_TRUE(TunnelHit(d, eye, 7854, false, &s, &hit));
        EXPECT_NEAR(hit.x * hit.x + hit.y * hit.y, 32.0f, 1e-3f);
    }
    EXPECT_GT(largest - smallest, 5.0f) << "the radius depends on the angle";
}

TEST(TunnelRays, ScrollingMovesTheTextureAlongTheTubeByAtMostNine)
{
    Grid still, moving;
    const int corner = RayGridEntry(0, 0);
    float largest = 0.0f;
    for (int t = 0; t < 80000; t += 1777) {
        CastTunnelRays(Identity(), t, false, false, D3DXVECTOR3(0, 1, 3), still.u, still.v, still.shade);
        CastTunnelRays(Identity(), t, false, true, D3DXVECTOR3(0, 1, 3), moving.u, moving.v, moving.shade);
        const float shift = moving.u[corner] - still.u[corner];
        EXPECT_LE(std::fabs(shift), 9.0001f) << t;
        largest = std::max(largest, std::fabs(shift));
        EXPECT_EQ(moving.v[corner], still.v[corner]);
    }
    EXPECT_GT(largest, 8.9f);
}

TEST(TunnelRays, ACameraOutsideOrAtTheWallGivesFiniteValuesAndBrightnessAtMost255)
{
    Grid g;
    for (const D3DXVECTOR3 eye : {D3DXVECTOR3(10, 0, 0), D3DXVECTOR3(5.6f, 0, 0), D3DXVECTOR3(0, -40, 3)}) {
        for (bool wobble : {false, true}) {
            CastTunnelRays(RotationXYZ(0.0f, 1.2f, 0.0f), 3000, wobble, true, eye, g.u, g.v, g.shade);
            int black = 0, white = 0;
            for (int e = 0; e < kRayGridPoints; ++e) {
                ASSERT_TRUE(std::isfinite(g.u[e]) && std::isfinite(g.v[e])) << eye.x << " " << e;
                black += g.shade[e] == 0;
                white += g.shade[e] == 255;
            }
            if (eye.x == 10) {
                EXPECT_GT(black, 0) << "rays that pass the tube by are black";
            }
            if (eye.x == 5.6f && !wobble) {
                EXPECT_GT(white, 0) << "the wall right beside the camera is white";
            }
        }
    }
    // A ray along the axis never meets the wall: black, at the camera.
    D3DXVECTOR3 hit;
    float s = 1.0f;
    EXPECT_FALSE(TunnelHit(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(1, 0, 5), 0, false, &s, &hit));
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(hit.z, 5.0f);
}

class RayGridDraw : public ShellDeviceTest {
protected:
    IDirect3DTexture8* Grey() { return MakeTexture(g_device, 4, 4, [](UINT, UINT) { return 0xFF404040u; }); }
};

TEST_F(RayGridDraw, LifeCycleAndMessagesOfBoth)
{
    E_Planes planes;
    E_Tunnel tunnel;
    const D3DXVECTOR3 eye(0, 0, 0);
    EXPECT_STREQ(planes.Render(nullptr, 0, true, true, false, eye), "E_Planes: Not initialized.");
    EXPECT_STREQ(tunnel.Render(nullptr, 0, false, true, false, eye), "E_Tunnel: Not initialized.");
    d3d8_testing::FailIndexBufferLock(true);
    EXPECT_STREQ(planes.Init(), "E_Planes: Couldn't lock Direct3D index buffer.");
    EXPECT_STREQ(tunnel.Init(), "E_Tunnel: Couldn't lock Direct3D index buffer.");
    d3d8_testing::Reset();
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << "every failure released the buffers";
    ASSERT_EQ(planes.Init(), nullptr);
    ASSERT_EQ(tunnel.Init(), nullptr);
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_STREQ(planes.Render(nullptr, 0, true, true, false, eye), "Planes: Couldn't lock Direct3D vertex buffer.");
    EXPECT_STREQ(tunnel.Render(nullptr, 0, false, true, false, eye), "Tunnel: Couldn't lock Direct3D vertex buffer.");
    d3d8_testing::Reset();
    EXPECT_EQ(planes.Render(nullptr, 0, true, true, false, eye), nullptr) << "still initialised";
    EXPECT_EQ(tunnel.Render(nullptr, 0, false, true, false, eye), nullptr);
    planes.Release();
    tunnel.Release();
    // The device holds the buffers it last drew from, as Direct3D does.
    g_device->SetStreamSource(0, nullptr, 0);
    g_device->SetIndices(nullptr, 0);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(RayGridDraw, ThePlanesCoverTheScreenWithTheTextureDoubledAndRestoreTheStates)
{
    IDirect3DTexture8* grey = Grey();
    E_Planes planes;
    ASSERT_EQ(planes.Init(), nullptr);
    const DeviceStates defaults = SnapshotStates(g_device);
    for (bool additive : {false, true}) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF00FF, 1.0f, 0);
        ASSERT_EQ(planes.Render(grey, 0, false, false, additive, D3DXVECTOR3(0, 0, 0)), nullptr);
        const DeviceStates after = SnapshotStates(g_device);
        EXPECT_EQ(after, defaults) << DescribeDifferences(defaults, after);
        if (additive) continue;
        Capture();
        // The floor just below the camera is fully bright: 0x40 times twice 1.0.
        EXPECT_TRUE(Near(At(400, 596), 0x808080, 2)) << std::hex << At(400, 596);
        int holes = 0;
        for (int y = 1; y < 599; ++y)
            for (int x = 1; x < 799; ++x) holes += At(x, y) == 0xFF00FFu;
        EXPECT_EQ(holes, 0) << "both triangles of every cell are drawn under the default culling";
    }
    grey->Release();
}

TEST_F(RayGridDraw, TheTunnelModulatesTheTextureByItsGreyOnceAndRestoresTheStates)
{
    IDirect3DTexture8* grey = Grey();
    E_Tunnel tunnel;
    ASSERT_EQ(tunnel.Init(), nullptr);
    const DeviceStates defaults = SnapshotStates(g_device);
    ASSERT_EQ(tunnel.Render(grey, 0, false, false, false, D3DXVECTOR3(0, 0, 0)), nullptr);
    const DeviceStates after = SnapshotStates(g_device);
    EXPECT_EQ(after, defaults) << DescribeDifferences(defaults, after);
    Capture();
    Grid g;
    CastTunnelRays(Identity(), 0, false, false, D3DXVECTOR3(0, 0, 0), g.u, g.v, g.shade);
    // The bottom-left pixel lies on grid point (0, 0).
    const uint32_t level = 0x40 * g.shade[RayGridEntry(0, 0)] / 255;
    EXPECT_TRUE(Near(At(0, 599), level * 0x010101u, 2)) << std::hex << At(0, 599) << " " << level;
    grey->Release();
}

}  // namespace
