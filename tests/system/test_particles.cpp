// Tests of the particle system: its life cycle and limits, the deformation
// formulas at chosen vertices and times, the placement of the sprites on the
// screen, and the states it leaves behind.
#include "DrawRecorder.h"
#include "E_Particles.h"
#include "EffectTesting.h"
#include "Mesh.h"
#include "MeshWriter.h"
#include "SceneData.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(ParticleDeformation, ModesAgainstValuesWorkedOutByHand)
{
    EXPECT_NEAR(ParticleScale(1, 1.0f, 0.0f, 0.0f, 1000.0f), 0.76772835f, 1e-5f);
    EXPECT_NEAR(ParticleScale(1, 0.5f, -0.25f, 0.75f, 2500.0f), -1.4847238f, 1e-5f);
    EXPECT_NEAR(ParticleScale(2, 0.0f, 0.0f, 0.0f, 0.0f), 2.2f, 1e-6f);
    EXPECT_NEAR(ParticleScale(2, 0.5f, -0.25f, 0.75f, 2500.0f), 3.1904073f, 1e-5f);
    EXPECT_NEAR(ParticleScale(3, 0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(ParticleScale(3, 0.5f, -0.25f, 0.75f, 2500.0f), 1.4623548f, 1e-5f);
}

TEST(ParticleDeformation, OtherModesLeaveThePointsUnscaled)
{
    for (int mode : {0, 4, -1, 99}) EXPECT_EQ(ParticleScale(mode, 0.3f, 0.7f, -0.2f, 12345.0f), 1.0f) << mode;
}

TEST(ParticleDeformation, TheTwistTurnsAboutTheVerticalAxis)
{
    // At height 0 and time 0 the angle is 0: (x, z) becomes (-z, x).
    const D3DXVECTOR3 flat = ParticleTwist(D3DXVECTOR3(1.0f, 0.0f, 2.0f), 0.0f);
    EXPECT_NEAR(flat.x, -2.0f, 1e-6f);
    EXPECT_EQ(flat.y, 0.0f);
    EXPECT_NEAR(flat.z, 1.0f, 1e-6f);
    const D3DXVECTOR3 raised = ParticleTwist(D3DXVECTOR3(1.0f, 0.5f, 2.0f), 2500.0f);
    EXPECT_NEAR(raised.x, -1.1861406f, 1e-5f);
    EXPECT_EQ(raised.y, 0.5f);
    EXPECT_NEAR(raised.z, 1.8955396f, 1e-5f);
}

class Particles : public ShellDeviceTest {
protected:
    void SetUp() override
    {
        ShellDeviceTest::SetUp();
        folder = scene_data::FreshFolder("particles");
    }
    void TearDown() override
    {
        fs::remove_all(folder);
        ShellDeviceTest::TearDown();
    }
    // A mesh of the given points (unscaled).
    void LoadPoints(Mesh& mesh, const std::vector<float>& xyz)
    {
        const fs::path path = folder / "points.msh";
        ASSERT_TRUE(datagen::WriteMesh(path.string(), xyz, {}));
        ASSERT_TRUE(mesh.Load(path.c_str(), 1.0f));
    }
    int LitPixels()
    {
        Capture();
        int lit = 0;
        for (int y = 0; y < 600; y += 2)
            for (int x = 0; x < 800; x += 2) lit += At(x, y) != 0;
        return lit;
    }
    const D3DXCOLOR kWhite = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    fs::path folder;
};

TEST_F(Particles, RenderNeedsInitAMeshAndAtMostEightThousandPoints)
{
    E_Particles particles;
    Mesh ball;
    ASSERT_TRUE(scene_data::WriteBallMesh(folder / "ball.msh", 8001, 100.0f));
    ASSERT_TRUE(ball.Load((folder / "ball.msh").c_str(), 0.0075f));
    particles.SetMesh(&ball);
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 13), kWhite), "E_Particles: Not initialized.");
    ASSERT_EQ(particles.Init(), nullptr);
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 13), kWhite),
                 "E_Particles: Number of vertices in the source mesh exceeds 8000.");
    EXPECT_EQ(LitPixels(), 0) << "nothing was drawn";
    particles.SetMesh(nullptr);
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 13), kWhite), "E_Particles: No source mesh provided.");
    particles.Release();
    particles.SetMesh(&ball);
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 13), kWhite), "E_Particles: Not initialized.");
}

TEST_F(Particles, ExactlyEightThousandPointsAreDrawn)
{
    E_Particles particles;
    Mesh ball;
    ASSERT_TRUE(scene_data::WriteBallMesh(folder / "ball.msh", 8000, 133.3f));
    ASSERT_TRUE(ball.Load((folder / "ball.msh").c_str(), 0.0075f));
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&ball);
    EXPECT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), D3DXCOLOR(0.1f, 0.1f, 0.1f, 0.1f)), nullptr);
    EXPECT_GT(LitPixels(), 1000);
}

TEST_F(Particles, AnEmptyMeshDrawsNothingAndSucceeds)
{
    E_Particles particles;
    Mesh empty;
    LoadPoints(empty, {});
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&empty);
    EXPECT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    EXPECT_EQ(LitPixels(), 0);
}

TEST_F(Particles, SpritesOutsideTheViewAreLeftOutAndThoseAcrossItsEdgesKept)
{
    // At depth 2 the view is 1.657 units wide. One sprite straddles the left
    // edge, one lies wholly beyond the right edge, one behind the camera.
    E_Particles particles;
    Mesh points;
    LoadPoints(points, {-0.9f, 0.0f, 0.0f, 1.5f, 0.0f, 0.0f, 0.0f, 0.0f, -2.5f});
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&points);
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    Capture();
    // The straddling sprite's inner part reaches 0.128 units (62 pixels at
    // 483 pixels a unit) into the view, over the 72 rows of its height.
    EXPECT_EQ(At(5, 260), 0xFFFFFFu);
    EXPECT_EQ(At(58, 260), 0xFFFFFFu);
    EXPECT_EQ(At(70, 260), 0u);
    EXPECT_NEAR(LitPixels(), 31 * 36, 2 * 36) << "only that sprite's part on screen";
}

TEST_F(Particles, WhatTheProjectionShowsTheVisibilityTestKeeps)
{
    // The frustum is read from the projection the effect hands the device,
    // so a change to the camera that the sprite test does not follow shows
    // here: sprites just inside each edge and at the near and far planes are
    // kept, those just beyond are left out.
    E_Particles particles;
    Mesh point;
    LoadPoints(point, {0.0f, 0.0f, 0.0f});
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&point);
    D3DMATRIX projection;
    {
        DrawRecorder recorder;
        ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
        const std::vector<RecordedCall> draws = CallsOf(recorder.calls, "particles");
        ASSERT_EQ(draws.size(), 1u);
        projection = draws[0].projection;
    }
    const float nearPlane = -projection._43 / projection._33;
    const float farPlane = projection._43 / (1.0f - projection._33);
    const float size = 0.2f;  // a sprite's side in view units
    // View-space corners of sprites: x, y of the lower-left corner, at depth z.
    // BuildParticleQuads places a point at depth (z + 2) * placement.z.
    auto kept = [&](float x, float y, float depth) {
        const D3DXVECTOR3 p(x, y, depth - 2.0f);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        unsigned char quad[4 * 24];
        return BuildParticleQuads(&p, 1, identity, D3DXVECTOR3(0, 0, 1), 0xFFFFFFFFu, quad) == 1;
    };
    for (float depth : {nearPlane * 1.00001f, 3.0f, 40.0f, farPlane * 0.99999f}) {
        const float halfWidth = depth / projection._11, halfHeight = depth / projection._22;
        const float in = 0.002f * depth, out = 0.01f * depth;
        SCOPED_TRACE(depth);
        EXPECT_TRUE(kept(halfWidth - in, 0.0f, depth));
        EXPECT_TRUE(kept(-halfWidth - size + in, 0.0f, depth));
        EXPECT_TRUE(kept(0.0f, halfHeight - in, depth));
        EXPECT_TRUE(kept(0.0f, -halfHeight - size + in, depth));
        EXPECT_FALSE(kept(halfWidth + out, 0.0f, depth));
        EXPECT_FALSE(kept(-halfWidth - size - out, 0.0f, depth));
        EXPECT_FALSE(kept(0.0f, halfHeight + out, depth));
        EXPECT_FALSE(kept(0.0f, -halfHeight - size - out, depth));
    }
    EXPECT_FALSE(kept(0.0f, 0.0f, nearPlane * 0.99f));
    EXPECT_FALSE(kept(0.0f, 0.0f, farPlane * 1.01f));
}

TEST_F(Particles, APointIsASpriteOfFixedViewSizeShiftedAndScaledByThePlacement)
{
    E_Particles particles;
    Mesh point;
    LoadPoints(point, {0.0f, 0.0f, 0.0f});
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&point);

    // Depth (0 + 2) * 1: the 0.2-unit sprite spans 400..496 across and 228..300 down.
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    Capture();
    EXPECT_EQ(At(450, 260), 0xFFFFFFu);
    EXPECT_EQ(At(380, 260), 0u);
    EXPECT_EQ(At(510, 260), 0u);
    EXPECT_EQ(At(450, 310), 0u);

    // x and y of the placement move it: x -0.5 puts it 0.5 units right of centre.
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(-0.5f, 0.0f, 1.0f), kWhite), nullptr);
    Capture();
    EXPECT_EQ(At(690, 260), 0xFFFFFFu);
    EXPECT_EQ(At(450, 260), 0u);

    // z scales the depth: twice as far, half as large.
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 2), kWhite), nullptr);
    Capture();
    EXPECT_EQ(At(420, 290), 0xFFFFFFu);
    EXPECT_EQ(At(460, 260), 0u);
}

TEST_F(Particles, TwoDrawsInOneFrameGiveTwoCloudsAddedOntoThePicture)
{
    E_Particles particles;
    Mesh point;
    LoadPoints(point, {0.0f, 0.0f, 0.0f});
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&point);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF101010, 1.0f, 0);
    const D3DXCOLOR grey(0.25f, 0.25f, 0.25f, 0.25f);
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(0.5f, 0, 1), grey), nullptr);
    ASSERT_EQ(particles.Render(nullptr, 0, D3DXVECTOR3(-0.5f, 0, 1), grey), nullptr);
    Capture();
    EXPECT_TRUE(Near(At(690, 260), 0x505050)) << std::hex << At(690, 260);
    EXPECT_TRUE(Near(At(400 - 241 + 40, 260), 0x505050)) << std::hex << At(199, 260);
    EXPECT_EQ(At(450, 260), 0x101010u);
}

TEST_F(Particles, ReleaseKeepsTheMeshAndModeButZeroesTheAngles)
{
    Mesh ring;
    LoadPoints(ring, {0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f, -0.5f, 0.0f, 0.0f});
    E_Particles reference;
    ASSERT_EQ(reference.Init(), nullptr);
    reference.SetMesh(&ring);
    reference.SetDeformMode(2);
    ASSERT_EQ(reference.Render(nullptr, 500, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    Capture();
    const std::vector<uint8_t> expected = picture;

    E_Particles particles;
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&ring);
    particles.SetDeformMode(2);
    particles.SetRotationZ(1.0f);
    particles.Release();
    ASSERT_EQ(particles.Init(), nullptr);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    ASSERT_EQ(particles.Render(nullptr, 500, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    Capture();
    EXPECT_EQ(picture, expected);
}

TEST_F(Particles, DrawsThatShareTheirDeformationStillFollowTheMeshModeAndTime)
{
    Mesh ring, pair;
    LoadPoints(ring, {0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f, -0.5f, 0.0f, 0.0f});
    LoadPoints(pair, {0.3f, 0.3f, 0.0f, -0.3f, -0.2f, 0.0f});
    auto render = [&](E_Particles& particles, int timeMs) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        EXPECT_EQ(particles.Render(nullptr, timeMs, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
        Capture();
        return picture;
    };
    // The picture of one draw from a fresh particle system.
    auto fresh = [&](const Mesh* mesh, int mode, int timeMs) {
        E_Particles particles;
        EXPECT_EQ(particles.Init(), nullptr);
        particles.SetMesh(mesh);
        particles.SetDeformMode(mode);
        return render(particles, timeMs);
    };

    E_Particles particles;
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&ring);
    particles.SetDeformMode(1);
    const std::vector<uint8_t> first = render(particles, 500);
    EXPECT_EQ(first, fresh(&ring, 1, 500));
    EXPECT_EQ(render(particles, 500), first);
    const std::vector<uint8_t> later = render(particles, 1500);
    EXPECT_NE(later, first);
    EXPECT_EQ(later, fresh(&ring, 1, 1500));
    particles.SetDeformMode(2);
    EXPECT_EQ(render(particles, 1500), fresh(&ring, 2, 1500));
    particles.SetMesh(&pair);
    EXPECT_EQ(render(particles, 1500), fresh(&pair, 2, 1500));
    // A mesh loaded again in place is read afresh once it is set again.
    LoadPoints(pair, {0.1f, -0.4f, 0.0f});
    particles.SetMesh(&pair);
    EXPECT_EQ(render(particles, 1500), fresh(&pair, 2, 1500));
}

TEST_F(Particles, CreationAndLockFailuresAreReportedAndLeaveItUninitialised)
{
    Mesh point;
    LoadPoints(point, {0.0f, 0.0f, 0.0f});
    E_Particles particles;
    particles.SetMesh(&point);
    d3d8_testing::FailCreateVertexBuffer(true);
    EXPECT_STREQ(particles.Init(), "E_Particles: Couldn't create a Direct3D vertex buffer.");
    d3d8_testing::Reset();
    d3d8_testing::FailCreateIndexBuffer(true);
    EXPECT_STREQ(particles.Init(), "E_Particles: Couldn't create a Direct3D index buffer.");
    d3d8_testing::Reset();
    d3d8_testing::FailIndexBufferLock(true);
    EXPECT_STREQ(particles.Init(), "E_Particles: Couldn't lock Direct3D index buffer.");
    d3d8_testing::Reset();
    ASSERT_EQ(particles.Init(), nullptr);
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite),
                 "E_Particles: Couldn't lock Direct3D vertex buffer.");
    d3d8_testing::Reset();
    EXPECT_STREQ(particles.Render(nullptr, 0, D3DXVECTOR3(0, 0, 1), kWhite), "E_Particles: Not initialized.");
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << "every failure released the buffers";
}

TEST_F(Particles, TheStatesAreBackAtTheirDefaultsAfterADraw)
{
    IDirect3DTexture8* sprite = MakeTexture(g_device, 4, 4, [](UINT, UINT) { return 0xFF808080u; });
    Mesh point;
    LoadPoints(point, {0.0f, 0.0f, 0.0f});
    E_Particles particles;
    ASSERT_EQ(particles.Init(), nullptr);
    particles.SetMesh(&point);
    const DeviceStates defaults = SnapshotStates(g_device);
    ASSERT_EQ(particles.Render(sprite, 0, D3DXVECTOR3(0, 0, 1), kWhite), nullptr);
    const DeviceStates after = SnapshotStates(g_device);
    EXPECT_EQ(after, defaults) << DescribeDifferences(defaults, after);
    Capture();
    EXPECT_TRUE(Near(At(450, 260), 0x808080)) << "the sprite's texture times white";
    sprite->Release();
}

}  // namespace
