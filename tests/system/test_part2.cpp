// Tests of the second scene: its loading order and messages, which layers
// each window draws and in which order (recorded draws), the keyframed
// cameras across windows, and which draw failures end the frame.
#include "P_Part2.h"

#include "SceneData.h"
#include "SceneTesting.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

namespace {

D3DMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 target)
{
    D3DXMATRIX view;
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &target, &up);
    return view;
}

class SceneTwo : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        const char* pictures[] = {"Partikel2.bmp", "Plane.bmp", "Hedra.bmp", "Blobby.bmp", "Cyber.bmp"};
        for (const char* name : pictures) scene_data::WriteSolidBmp(folder / "Data" / name, 8, 8, 0x404040);
        scene_data::WriteTetrahedron("Data/Bol.msh", 100.0f);
        scene_data::WriteTetrahedron("Data/Hedra.msh", 100.0f);
        scene_data::WriteMap("Data/Scape1.map", 4096, 0);
    }
};

TEST_F(SceneTwo, EachInitFailureGivesItsMessageInOrderAndLeavesTheSceneReleased)
{
    const std::pair<const char*, const char*> files[] = {
        {"Partikel2.bmp", "P_Part2: Could not create texture from file: Data\\Partikel2.bmp"},
        {"Plane.bmp", "P_Part2: Could not create texture from file: Data\\Plane.bmp"},
        {"Hedra.bmp", "P_Part2: Could not create texture from file: Data\\Hedra.bmp"},
        {"Blobby.bmp", "P_Part2: Could not create texture from file: Data\\Blobby.bmp"},
        {"Cyber.bmp", "P_Part2: Could not create texture from file: Data\\Cyber.bmp"},
        {"Bol.msh", "P_Part2: Could not load mesh from file: Data\\Bol.msh"},
        {"Hedra.msh", "P_Part2: Could not load mesh from file: Data\\Hedra.msh"},
        {"Scape1.map", "P_Part2: Could not load terrain map: Data\\Scape1.map"},
    };
    for (const auto& file : files) Hide(file.first);
    P_Part2 scene;
    for (const auto& file : files) {
        EXPECT_STREQ(scene.Init(), file.second);
        EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << file.first;
        EXPECT_STREQ(scene.Render(0, 0.0f), "P_Part2: Not initialized.");
        Restore(file.first);
    }
    ASSERT_TRUE(scene_data::WriteMap("Data/Scape1.map", 100, 0));
    EXPECT_STREQ(scene.Init(), "P_Part2: Could not load terrain map: Data\\Scape1.map") << "a short map";
    ASSERT_TRUE(scene_data::WriteMap("Data/Scape1.map", 4096, 0));

    // The effects' own messages pass through unchanged, the terrain's other
    // failures too: only its map marker is replaced.
    const std::pair<void (*)(bool), const char*> failures[] = {
        {d3d8_testing::FailCreateVertexBuffer, "E_Object: Couldn't create a Direct3D vertex buffer."},
        {d3d8_testing::FailIndexBufferLock, "E_Particles: Couldn't lock Direct3D index buffer."},
        {d3d8_testing::FailVertexBufferLock, "E_Scape: Couldn't lock Direct3D vertex buffer."},
    };
    for (const auto& failure : failures) {
        failure.first(true);
        EXPECT_STREQ(scene.Init(), failure.second);
        d3d8_testing::Reset();
        EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << failure.second;
    }
    EXPECT_EQ(scene.Init(), nullptr);
    scene.Release();
    scene.Release();
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(SceneTwo, WindowsDrawTheirLayersAndBothWindowsOfASharedBoundaryInOrder)
{
    P_Part2 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    ASSERT_EQ(RenderAt(scene, 0), nullptr);
    EXPECT_EQ(Layers(), "begin grid object quad end");
    EXPECT_EQ(Of("quad").at(0).diffuse, 0xFFFFFFFFu) << "the flash at full white";
    EXPECT_EQ(Of("quad").at(0).destBlend, static_cast<DWORD>(D3DBLEND_ONE)) << "added";

    ASSERT_EQ(RenderAt(scene, 9000), nullptr);
    EXPECT_EQ(Layers(), "begin grid object object end");
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, Of("object").at(1).view));

    ASSERT_EQ(RenderAt(scene, 20000), nullptr);
    EXPECT_EQ(Layers(), "begin grid scape scape end");
    EXPECT_TRUE(NearMatrix(Of("scape").at(0).view, Of("scape").at(1).view));

    ASSERT_EQ(RenderAt(scene, 35000), nullptr);
    EXPECT_EQ(Layers(), "begin grid scape scape quad end") << "the window ending at 35 s comes first";
    EXPECT_TRUE(Of("quad").at(0).textured);
    EXPECT_EQ(Of("quad").at(0).diffuse, 0u) << "the image starts at nothing";

    ASSERT_EQ(RenderAt(scene, 44000), nullptr);
    EXPECT_EQ(Layers(), "begin grid scape quad end");
    EXPECT_EQ(Of("quad").at(0).diffuse, 0xD9D9D9D9u) << "held at 0.85";

    ASSERT_EQ(RenderAt(scene, 47000), nullptr);
    EXPECT_EQ(Layers(), "begin grid scape quad end") << "no particle cloud while the image fades";
    EXPECT_EQ(Of("quad").at(0).diffuse, 0x8C8C8C8Cu) << "0.85 - 0.85 * 1.5 / 4.25 = 0.55";

    ASSERT_EQ(RenderAt(scene, 50000), nullptr);
    EXPECT_EQ(Layers(), "begin grid scape object end");
    EXPECT_TRUE(Of("object").at(0).lightEnabled) << "the blob is lit";

    ASSERT_EQ(RenderAt(scene, 72000), nullptr);
    EXPECT_EQ(Layers(), "begin grid end") << "after 71 s only the backdrop";
}

TEST_F(SceneTwo, KeyframedCamerasAreContinuousAcrossTheirWindows)
{
    P_Part2 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    // A millisecond either side of each boundary the camera has hardly moved.
    const std::pair<uint64_t, const char*> boundaries[] = {
        {3000, "object"}, {6000, "object"}, {12000, "object"}, {25000, "scape"},
        {30000, "scape"}, {43000, "scape"}, {51000, "object"},
    };
    for (const auto& boundary : boundaries) {
        ASSERT_EQ(RenderAt(scene, boundary.first - 1), nullptr);
        const D3DMATRIX before = Of(boundary.second).at(0).view;
        ASSERT_EQ(RenderAt(scene, boundary.first + 1), nullptr);
        ASSERT_EQ(Of(boundary.second).size(), 1u) << boundary.first;
        EXPECT_TRUE(NearMatrix(before, Of(boundary.second).at(0).view, 1e-3f)) << boundary.first;
    }
    ASSERT_EQ(RenderAt(scene, 71000), nullptr);
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, LookAt(D3DXVECTOR3(0, 0, -2.25f), D3DXVECTOR3(0, 0, 0))))
        << "the blob's camera ends 2.25 units away";
}

TEST_F(SceneTwo, OnlyThePolyhedronsFailuresAreIgnored)
{
    scene_data::WriteTetrahedron("Data/Hedra.msh", 100.0f, 4, 20001);
    scene_data::WriteTetrahedron("Data/Bol.msh", 100.0f, 4, 20001);
    P_Part2 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    EXPECT_EQ(RenderAt(scene, 1000), nullptr);
    EXPECT_EQ(Layers(), "begin grid quad end") << "the frame goes on without the polyhedron";
    EXPECT_STREQ(RenderAt(scene, 50000), "E_Object: Number of vertices in the source mesh exceeds 20000.");
    EXPECT_EQ(Layers(), "begin grid scape") << "the blob's failure ends the frame";
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_STREQ(RenderAt(scene, 50001), "Planes: Couldn't lock Direct3D vertex buffer.");
    EXPECT_EQ(Layers(), "begin");
}

}  // namespace
