// Tests of scenes 3, 4 and 5: their loading order and messages, which layers
// each window draws and in which order, with which camera, blending and
// colour (recorded draws), and which draw failures end the frame.
#include "P_Part3.h"
#include "P_Part4.h"
#include "P_Part5.h"

#include "SceneData.h"
#include "SceneTesting.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

D3DMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 target)
{
    D3DXMATRIX view;
    const D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &target, &up);
    return view;
}

// Scene tests with the given pictures and meshes under Data.
class Scene : public SceneTest {
protected:
    void WriteData(const std::vector<std::string>& pictures, const std::vector<std::string>& meshes)
    {
        for (const std::string& name : pictures) scene_data::WriteSolidBmp(folder / "Data" / name, 8, 8, 0x404040);
        for (const std::string& name : meshes) scene_data::WriteTetrahedron(folder / "Data" / name, 100.0f);
    }
    // Hides every file, then brings them back one by one: each time Init
    // reports the first missing one and leaves nothing loaded.
    void ExpectMissingFilesInOrder(P_Part& scene, const Files& files, const std::string& notInitialized)
    {
        for (const auto& file : files) Hide(file.first);
        for (const auto& file : files) {
            EXPECT_STREQ(scene.Init(), file.second.c_str());
            EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << file.first;
            EXPECT_STREQ(scene.Render(0, 0.0f), notInitialized.c_str());
            Restore(file.first);
        }
    }
    void ExpectFailure(P_Part& scene, void (*fail)(bool), const char* message)
    {
        fail(true);
        EXPECT_STREQ(scene.Init(), message);
        d3d8_testing::Reset();
        EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << message;
    }
    static uint32_t Alpha(const RecordedCall& call) { return call.diffuse >> 24; }
};

class SceneThree : public Scene {
protected:
    void SetUp() override
    {
        Scene::SetUp();
        WriteData({"Paddo.bmp", "Grainfield.bmp", "Blaat.bmp"}, {"Stekels.msh"});
    }
};

TEST_F(SceneThree, EachInitFailureGivesItsMessageInOrder)
{
    P_Part3 scene;
    ExpectMissingFilesInOrder(scene,
                              {{"Paddo.bmp", "P_Part3: Could not create texture from file: Data\\Paddo.bmp"},
                               {"Grainfield.bmp", "P_Part3: Could not create texture from file: Data\\Grainfield.bmp"},
                               {"Blaat.bmp", "P_Part3: Could not create texture from file: Data\\Blaat.bmp"},
                               {"Stekels.msh", "P_Part3: Could not load mesh from file: Data\\Stekels.msh"}},
                              "P_Part3: Not initialized.");
    ExpectFailure(scene, d3d8_testing::FailCreateVertexBuffer, "E_Object: Couldn't create a Direct3D vertex buffer.");
    ExpectFailure(scene, d3d8_testing::FailIndexBufferLock, "E_Tunnel: Couldn't lock Direct3D index buffer.");
    EXPECT_EQ(scene.Init(), nullptr);
}

TEST_F(SceneThree, AtNineAndAHalfSecondsTunnelsEchoAndTheSecondFlashMeet)
{
    P_Part3 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    ASSERT_EQ(RenderAt(scene, 9500), nullptr);
    EXPECT_EQ(Layers(), "begin grid grid object object object object object object object object quad end");
    for (const RecordedCall& tunnel : Of("grid")) {
        EXPECT_EQ(tunnel.destBlend, static_cast<DWORD>(D3DBLEND_ONE)) << "the tunnels are added";
        EXPECT_EQ(tunnel.colourOp, static_cast<DWORD>(D3DTOP_MODULATE));
    }
    const std::vector<RecordedCall> echo = Of("object");
    ASSERT_EQ(echo.size(), 8u);
    float offset = 0.0f;
    for (const RecordedCall& copy : echo) {
        // With the demo clock at 0 each copy is turned by its offset alone:
        // 0, 0.025, ... 0.175 about all three axes.
        D3DXMATRIX x, y, z, world;
        D3DXMatrixRotationX(&x, offset);
        D3DXMatrixRotationY(&y, offset);
        D3DXMatrixRotationZ(&z, offset);
        D3DXMatrixMultiply(&world, &x, &y);
        D3DXMatrixMultiply(&world, &world, &z);
        EXPECT_TRUE(NearMatrix(copy.world, world)) << offset;
        offset += 0.025f;
        // Eye and targets (depths 1.2 to 2.6) all lie on the z axis: one view.
        EXPECT_TRUE(NearMatrix(copy.view, LookAt(D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 0, 1.2f))));
        EXPECT_EQ(copy.cullMode, static_cast<DWORD>(D3DCULL_NONE));
        EXPECT_TRUE(copy.lightEnabled);
        EXPECT_EQ(copy.destBlend, static_cast<DWORD>(D3DBLEND_ONE));
    }
    EXPECT_EQ(Of("quad").at(0).diffuse, 0xFFFFFFFFu) << "the second flash at full strength";
}

TEST_F(SceneThree, OverlaysAppearOnlyInTheirWindowsAndFailuresEndTheFrame)
{
    P_Part3 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    const std::string echo = "object object object object object object object object";
    ASSERT_EQ(RenderAt(scene, 4000), nullptr);
    EXPECT_EQ(Layers(), "begin " + echo + " quad end");
    EXPECT_EQ(Of("quad").at(0).diffuse, 0u) << "the first flash has faded out";
    ASSERT_EQ(RenderAt(scene, 5000), nullptr);
    EXPECT_EQ(Layers(), "begin " + echo + " end");
    ASSERT_EQ(RenderAt(scene, 13000), nullptr);
    EXPECT_EQ(Layers(), "begin grid grid end");
    ASSERT_EQ(RenderAt(scene, 17500), nullptr);
    EXPECT_EQ(Layers(), "begin grid grid quad end");
    EXPECT_EQ(Of("quad").at(0).diffuse, 0x80000000u) << "black at half opacity";
    EXPECT_EQ(Of("quad").at(0).srcBlend, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    ASSERT_EQ(RenderAt(scene, 19000), nullptr);
    EXPECT_EQ(Layers(), "begin grid grid quad quad end");
    for (const RecordedCall& quad : Of("quad")) EXPECT_EQ(quad.diffuse, 0xFF000000u);
    ASSERT_EQ(RenderAt(scene, 20000), nullptr);
    EXPECT_EQ(Layers(), "begin grid grid quad end");
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_STREQ(RenderAt(scene, 20001), "Tunnel: Couldn't lock Direct3D vertex buffer.");
    EXPECT_EQ(Layers(), "begin");
}

class SceneFour : public Scene {
protected:
    void SetUp() override
    {
        Scene::SetUp();
        WriteData({"Hitek.bmp", "Kots.bmp", "Gangbang.bmp"}, {"Bol.msh"});
        scene_data::WriteMap("Data/Scape2.map", 4096, 0);
    }
};

TEST_F(SceneFour, AnUnreadableMapIsNamedAndOtherLandscapeFailuresPassThrough)
{
    P_Part4 scene;
    Hide("Scape2.map");
    EXPECT_STREQ(scene.Init(), "P_Part4: Could not load terrain map: Data\\Scape2.map");
    ASSERT_TRUE(scene_data::WriteMap("Data/Scape2.map", 10, 0));
    EXPECT_STREQ(scene.Init(), "P_Part4: Could not load terrain map: Data\\Scape2.map") << "a short map";
    ASSERT_TRUE(scene_data::WriteMap("Data/Scape2.map", 4096, 0));
    ExpectFailure(scene, d3d8_testing::FailVertexBufferLock, "E_Scape: Couldn't lock Direct3D vertex buffer.");
    EXPECT_EQ(scene.Init(), nullptr);
}

TEST_F(SceneFour, TheLandscapeObjectAndOverlaysFollowTheirWindows)
{
    P_Part4 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    ASSERT_EQ(RenderAt(scene, 5000), nullptr);
    EXPECT_EQ(Layers(), "begin scape quad end") << "no object before 8 s";
    EXPECT_EQ(Of("quad").at(0).diffuse, 0x60000000u) << "black at 1 - 5 / 8";
    EXPECT_EQ(Of("quad").at(0).srcBlend, static_cast<DWORD>(D3DBLEND_SRCALPHA));

    ASSERT_EQ(RenderAt(scene, 8000), nullptr);
    EXPECT_EQ(Layers(), "begin scape object quad end");
    EXPECT_EQ(Of("quad").at(0).diffuse, 0u) << "the fade-in ends at alpha 0";
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, LookAt(D3DXVECTOR3(0, 0, -8), D3DXVECTOR3(0, -10, 0))));
    EXPECT_TRUE(Of("object").at(0).lightEnabled);

    ASSERT_EQ(RenderAt(scene, 12000), nullptr);
    EXPECT_EQ(Layers(), "begin scape object end");
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, LookAt(D3DXVECTOR3(0, 0, -8), D3DXVECTOR3(0, 0, 0))));

    // From 16 s the picture is added after landscape and object.
    const std::pair<uint64_t, DWORD> pictures[] = {{16000, 0u}, {17000, 0x66666666u}, {20000, 0xCCCCCCCCu}};
    for (const auto& picture : pictures) {
        ASSERT_EQ(RenderAt(scene, picture.first), nullptr);
        EXPECT_EQ(Layers(), "begin scape object quad end") << picture.first;
        const RecordedCall quad = Of("quad").at(0);
        EXPECT_TRUE(quad.textured);
        EXPECT_EQ(quad.diffuse, picture.second) << picture.first;
        EXPECT_EQ(quad.destBlend, static_cast<DWORD>(D3DBLEND_ONE));
        EXPECT_EQ(quad.srcBlend, static_cast<DWORD>(D3DBLEND_ONE));
    }

    // At 33 and at 36 s two landscape windows meet.
    const std::pair<uint64_t, D3DXVECTOR3> meetings[] = {{33000, D3DXVECTOR3(0, 12, -14)},
                                                         {36000, D3DXVECTOR3(0, 18, -17)}};
    for (const auto& meeting : meetings) {
        ASSERT_EQ(RenderAt(scene, meeting.first), nullptr);
        EXPECT_EQ(Layers(), "begin scape scape object quad end") << meeting.first;
        for (const RecordedCall& land : Of("scape")) {
            EXPECT_TRUE(NearMatrix(land.view, LookAt(meeting.second, D3DXVECTOR3(0, 4, 0)), 1e-4f));
            EXPECT_NEAR(land.projection._22, 1.0f / std::tan(0.6981317f), 1e-4f) << "80 degrees";
            EXPECT_NEAR(land.world._22, -1.0f, 1e-6f) << "upside down";
        }
        if (meeting.first == 33000) {
            ASSERT_EQ(RenderAt(scene, 34500), nullptr);
            EXPECT_EQ(Layers(), "begin scape object quad end") << "between the meetings one window";
        }
    }
}

TEST_F(SceneFour, AnObjectFailureEndsTheFrame)
{
    scene_data::WriteTetrahedron("Data/Bol.msh", 100.0f, 4, 20001);
    P_Part4 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    EXPECT_STREQ(RenderAt(scene, 9000), "E_Object: Number of vertices in the source mesh exceeds 20000.");
    EXPECT_EQ(Layers(), "begin scape");
}

class SceneFive : public Scene {
protected:
    void SetUp() override
    {
        Scene::SetUp();
        WriteData({"Partikel2.bmp", "Hoofdpijn.bmp", "Space2.bmp"}, {"Bol.msh", "Hedra.msh"});
    }
    static std::string Clouds() { return "particles particles particles particles"; }
};

TEST_F(SceneFive, TheCloudsBlobFlashAndFadeFollowTheirWindows)
{
    P_Part5 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    ASSERT_EQ(RenderAt(scene, 0), nullptr);
    EXPECT_EQ(Layers(), "begin quad " + Clouds() + " quad end");
    EXPECT_EQ(Of("quad").at(0).alphaBlend, static_cast<DWORD>(FALSE)) << "the space picture is opaque";
    EXPECT_EQ(Of("quad").at(1).diffuse, 0xFFFFFFFFu) << "the flash";

    ASSERT_EQ(RenderAt(scene, 10000), nullptr);
    EXPECT_EQ(Layers(), "begin quad " + Clouds() + " end");
    // 10 s of growth at 16.3 units a second from the lower-left corner.
    const RecordedCall space = Of("quad").at(0);
    EXPECT_FLOAT_EQ(space.minX, -400.0f);
    EXPECT_FLOAT_EQ(space.minY, -300.0f);
    EXPECT_NEAR(space.maxX, 563.0f, 1e-3f);
    EXPECT_NEAR(space.maxY, 463.0f, 1e-3f);

    ASSERT_EQ(RenderAt(scene, 19500), nullptr);
    EXPECT_EQ(Layers(), "begin quad " + Clouds() + " " + Clouds() + " object end");
    const std::vector<RecordedCall> clouds = Of("particles");
    for (size_t i = 0; i < clouds.size(); ++i)
        EXPECT_EQ(clouds[i].diffuse, i < 4 ? 0xCCCCCCCCu : 0xBFBFBFBFu) << "0.8, then 0.75: draw " << i;
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, LookAt(D3DXVECTOR3(0, 0, -3), D3DXVECTOR3(-5, 0, 0))));
    EXPECT_TRUE(Of("object").at(0).lightEnabled);

    ASSERT_EQ(RenderAt(scene, 21000), nullptr);
    EXPECT_EQ(Layers(), "begin quad " + Clouds() + " object end") << "the clouds before the blob";
    EXPECT_EQ(Of("particles").at(0).diffuse, 0x60606060u);

    ASSERT_EQ(RenderAt(scene, 25000), nullptr);
    EXPECT_EQ(Layers(), "begin quad object end");
    EXPECT_TRUE(NearMatrix(Of("object").at(0).view, LookAt(D3DXVECTOR3(0, 0, -3), D3DXVECTOR3(0, 0, 1))));

    ASSERT_EQ(RenderAt(scene, 32000), nullptr);
    EXPECT_EQ(Layers(), "begin quad object quad end");
    EXPECT_EQ(Of("quad").at(1).diffuse, 0x80000000u) << "halfway to black";
    EXPECT_EQ(Of("quad").at(1).srcBlend, static_cast<DWORD>(D3DBLEND_SRCALPHA));

    ASSERT_EQ(RenderAt(scene, 36000), nullptr);
    EXPECT_EQ(Layers(), "begin quad object end") << "after 35 s the black quad is gone";
}

TEST_F(SceneFive, ParticleAndObjectFailuresNeverStopTheFrame)
{
    // Too many points for the particles and too many faces for the object.
    scene_data::WriteTetrahedron("Data/Bol.msh", 100.0f, 8001, 20001);
    P_Part5 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    EXPECT_EQ(RenderAt(scene, 21000), nullptr);
    EXPECT_EQ(Layers(), "begin quad end");
}

}  // namespace
