// Tests of the mesh object: the deformations at points worked out by hand,
// its limits and life cycle, the states it leaves behind, and its lighting
// and environment map read back from the headless device.
#include "E_Object.h"
#include "EffectTesting.h"
#include "Mesh.h"
#include "MeshWriter.h"
#include "SceneData.h"
#include "SceneTesting.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The deformed vertices of the given points (no faces) at time t.
std::vector<ObjectVertex> Rebuild(const std::vector<float>& xyz, int mode, int t)
{
    Mesh mesh;
    mesh.vertexCount = static_cast<int32_t>(xyz.size() / 3);
    mesh.vertices = static_cast<float*>(std::malloc(xyz.size() * sizeof(float)));
    std::memcpy(mesh.vertices, xyz.data(), xyz.size() * sizeof(float));
    std::vector<ObjectVertex> out(mesh.vertexCount);
    BuildObjectVertices(mesh, mode, t, out.data());
    return out;
}

TEST(ObjectDeformation, ModeZeroKeepsThePointsWithOutwardNormalsAndPlanarTextureCoordinates)
{
    for (int mode : {0, 5, -1}) {
        const std::vector<ObjectVertex> v = Rebuild({2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, -2.0f, 3.0f}, mode, 777);
        EXPECT_EQ(v[0].x, 2.0f) << mode;
        EXPECT_EQ(v[0].nx, 1.0f);
        EXPECT_EQ(v[0].ny, 0.0f);
        EXPECT_EQ(v[0].u, 1.0f);
        EXPECT_EQ(v[0].v, 0.0f);
        EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
        // The origin has no direction: a zero normal, not NaN.
        EXPECT_EQ(v[1].nx, 0.0f);
        EXPECT_EQ(v[1].ny, 0.0f);
        EXPECT_EQ(v[1].nz, 0.0f);
        EXPECT_EQ(v[2].z, 3.0f);
        EXPECT_NEAR(v[2].ny, -2.0f / std::sqrt(14.0f), 1e-6f);
        EXPECT_EQ(v[2].v, -1.0f);
    }
}

TEST(ObjectDeformation, ModesAgainstValuesWorkedOutByHand)
{
    // Mode 1 at the origin and T = 0: sin 0 + 3.4 + cos 0 + cos 0 * sin 0.
    EXPECT_NEAR(ObjectScale(1, 0.0f, 0.0f, 0.0f, 0.0f), 4.4f, 1e-6f);
    // Mode 1 halves first: (2, 0, 0) becomes (1, 0, 0), where
    // s = sin 1 + 3.4 + cos 0.6666667 + sin 0.15792799 = 5.1846305, and the
    // position is s times the halved point.
    const std::vector<ObjectVertex> pulsed = Rebuild({2.0f, 0.0f, 0.0f}, 1, 0);
    EXPECT_NEAR(pulsed[0].x, 5.1846305f, 1e-5f);
    EXPECT_EQ(pulsed[0].y, 0.0f);
    // (0.5, 0, 0) at T = 0. Mode 2: cos 0.5 * (|sin 1.75| + |cos(2.75 cos 0.5)| * |sin 1.9|).
    EXPECT_NEAR(ObjectScale(2, 0.5f, 0.0f, 0.0f, 0.0f), 1.4833372f, 1e-5f);
    // Mode 3: |cos 0.5| + 0 + |cos 1.5| * |sin 0.4|.
    EXPECT_NEAR(ObjectScale(3, 0.5f, 0.0f, 0.0f, 0.0f), 0.9051289f, 1e-5f);
    // Mode 4: |cos 0.5| * (|cos 5.25| + |cos 1.9| + 1.2332).
    EXPECT_NEAR(ObjectScale(4, 0.5f, 0.0f, 0.0f, 0.0f), 1.8153454f, 1e-5f);
    for (int mode : {0, 5, 99, -3}) EXPECT_EQ(ObjectScale(mode, 0.3f, 0.7f, -0.2f, 12345.0f), 1.0f) << mode;
}

TEST(ObjectDeformation, TheTwistAtHeightZeroTurnsAQuarter)
{
    // w = 2 sin 0 = 0: (x, z) becomes (x sin 0 - z cos 0, x cos 0 + z sin 0) = (-z, x).
    const D3DXVECTOR3 p = ObjectTwist(D3DXVECTOR3(1.0f, 0.0f, 2.0f), 0.0f);
    EXPECT_NEAR(p.x, -2.0f, 1e-6f);
    EXPECT_EQ(p.y, 0.0f);
    EXPECT_NEAR(p.z, 1.0f, 1e-6f);
}

class Object : public ShellDeviceTest {
protected:
    void SetUp() override
    {
        ShellDeviceTest::SetUp();
        folder = scene_data::FreshFolder("object");
    }
    void TearDown() override
    {
        fs::remove_all(folder);
        ShellDeviceTest::TearDown();
    }
    void LoadTetrahedron(Mesh& mesh, int vertexCount, int faceCount)
    {
        ASSERT_TRUE(scene_data::WriteTetrahedron(folder / "tetra.msh", 1.5f, vertexCount, faceCount));
        ASSERT_TRUE(mesh.Load((folder / "tetra.msh").c_str(), 1.0f));
    }
    // A ball of radius 2 about the origin, its faces clockwise seen from outside.
    void LoadSphere(Mesh& mesh)
    {
        const int rings = 24, segments = 48;
        std::vector<float> xyz;
        std::vector<int32_t> faces;
        for (int i = 0; i <= rings; ++i) {
            for (int j = 0; j <= segments; ++j) {
                const double theta = M_PI * i / rings, phi = 2.0 * M_PI * j / segments;
                xyz.push_back(static_cast<float>(2.0 * std::sin(theta) * std::cos(phi)));
                xyz.push_back(static_cast<float>(2.0 * std::cos(theta)));
                xyz.push_back(static_cast<float>(2.0 * std::sin(theta) * std::sin(phi)));
            }
        }
        for (int i = 0; i < rings; ++i) {
            for (int j = 0; j < segments; ++j) {
                const int32_t a = i * (segments + 1) + j, below = a + segments + 1;
                faces.insert(faces.end(), {a, a + 1, below, a + 1, below + 1, below});
            }
        }
        ASSERT_TRUE(datagen::WriteMesh((folder / "sphere.msh").string(), xyz, faces));
        ASSERT_TRUE(mesh.Load((folder / "sphere.msh").c_str(), 1.0f));
    }
    const char* Draw(E_Object& object, IDirect3DTexture8* texture = nullptr, int t = 0)
    {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        const char* message =
            object.Render(texture, t, D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, -8.0f), false);
        Capture();
        return message;
    }
    static int Brightness(uint32_t rgb) { return ((rgb >> 16) & 255) + ((rgb >> 8) & 255) + (rgb & 255); }
    fs::path folder;
};

TEST_F(Object, FacesAndVerticesWithinTheBuffersAreDrawnAndOthersRefused)
{
    E_Object object;
    Mesh mesh;
    object.SetMesh(&mesh);
    EXPECT_STREQ(Draw(object), "E_Object: Not initialized.");
    ASSERT_EQ(object.Init(), nullptr);
    EXPECT_STREQ(Draw(object), "E_Object: No source mesh provided.");
    object.SetMesh(&mesh);
    EXPECT_EQ(Draw(object), nullptr) << "an empty mesh";
    EXPECT_EQ(At(400, 300), 0u);

    struct Case {
        int vertices, faces;
        const char* message;
    };
    const Case cases[] = {
        {4, 20000, nullptr},
        {4, 20001, "E_Object: Number of vertices in the source mesh exceeds 20000."},
        {30000, 20000, nullptr},
        {60000, 4, nullptr},
        {60001, 4, "E_Object: Number of vertices in the source mesh exceeds 60000."},
    };
    for (const Case& c : cases) {
        LoadTetrahedron(mesh, c.vertices, c.faces);
        object.SetMesh(&mesh);
        const char* message = Draw(object);
        EXPECT_EQ(message ? std::string(message) : "", c.message ? std::string(c.message) : "") << c.vertices;
        EXPECT_EQ(At(400, 300), c.message ? 0u : 0xFFFFFFu) << c.vertices << " vertices, " << c.faces << " faces";
    }
}

TEST_F(Object, SettingsMadeBeforeInitAreLost)
{
    Mesh mesh;
    LoadTetrahedron(mesh, 4, 4);
    E_Object reference;
    ASSERT_EQ(reference.Init(), nullptr);
    reference.SetMesh(&mesh);
    ASSERT_EQ(Draw(reference), nullptr);
    const std::vector<uint8_t> expected = picture;

    E_Object object;
    object.SetMesh(&mesh);
    object.SetDeformMode(2);
    object.SetRotationX(1.0f);
    object.DisableCulling();
    object.EnableLighting();
    object.EnableEnvironmentMap();
    ASSERT_EQ(object.Init(), nullptr);
    EXPECT_STREQ(Draw(object), "E_Object: No source mesh provided.");
    object.SetMesh(&mesh);
    ASSERT_EQ(Draw(object), nullptr);
    EXPECT_EQ(picture, expected);
}

TEST_F(Object, EveryCombinationOfOptionsLeavesTheStatesAsItFoundThem)
{
    IDirect3DTexture8* skin = MakeTexture(g_device, 4, 4, [](UINT, UINT) { return 0xFF808080u; });
    Mesh mesh;
    LoadTetrahedron(mesh, 4, 4);
    const DeviceStates defaults = SnapshotStates(g_device);
    for (int options = 0; options < 32; ++options) {
        E_Object object;
        ASSERT_EQ(object.Init(), nullptr);
        object.SetMesh(&mesh);
        if (options & 2) object.EnableEnvironmentMap();
        if (options & 4) object.EnableLighting();
        if (options & 8) object.DisableCulling();
        ASSERT_EQ(object.Render((options & 1) ? skin : nullptr, 1000, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -8),
                                (options & 16) != 0),
                  nullptr);
        const DeviceStates after = SnapshotStates(g_device);
        EXPECT_EQ(after, defaults) << "options " << options << ": " << DescribeDifferences(defaults, after);
    }
    skin->Release();
}

TEST_F(Object, TheLitSideFacesTheMovingLight)
{
    Mesh sphere;
    LoadSphere(sphere);
    E_Object object;
    ASSERT_EQ(object.Init(), nullptr);
    // At sin(T/1000) = 1 the light is at (0, 10, -4), above the ball; at -1
    // it is at (0, -10, -8), below it.
    for (int t : {1571, -1571}) {
        object.SetMesh(&sphere);
        object.EnableLighting();
        ASSERT_EQ(Draw(object, nullptr, t), nullptr);
        const int top = Brightness(At(400, 200)), bottom = Brightness(At(400, 400));
        const int lit = t > 0 ? top : bottom, unlit = t > 0 ? bottom : top;
        EXPECT_GT(lit, unlit + 60) << "top " << top << ", bottom " << bottom << " at " << t;
        EXPECT_GT(std::min(top, bottom), 0) << "the light's ambient part reaches everywhere";
    }
}

TEST_F(Object, TheEnvironmentMapShowsTheTexelOfTheCameraSpaceNormal)
{
    // Quadrants: red top left, green top right, blue bottom left, white bottom right.
    IDirect3DTexture8* quadrants = MakeTexture(g_device, 8, 8, [](UINT x, UINT y) {
        return y < 4 ? (x < 4 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 4 ? 0xFF0000FFu : 0xFFFFFFFFu);
    });
    Mesh sphere;
    LoadSphere(sphere);
    E_Object object;
    ASSERT_EQ(object.Init(), nullptr);
    object.SetMesh(&sphere);
    object.SetRotationY(0.7f);  // turning a ball leaves its camera-space normals where they are
    object.EnableEnvironmentMap();
    ASSERT_EQ(Draw(object, quadrants), nullptr);
    EXPECT_TRUE(Near(At(300, 220), 0xFF0000u)) << std::hex << At(300, 220);
    EXPECT_TRUE(Near(At(500, 220), 0x00FF00u)) << std::hex << At(500, 220);
    EXPECT_TRUE(Near(At(300, 380), 0x0000FFu)) << std::hex << At(300, 380);
    EXPECT_TRUE(Near(At(500, 380), 0xFFFFFFu)) << std::hex << At(500, 380);
    quadrants->Release();
}

TEST_F(Object, AFailedIndexLockReleasesTheObjectAndAFailedVertexLockDoesNot)
{
    Mesh mesh;
    LoadTetrahedron(mesh, 4, 4);
    E_Object object;
    ASSERT_EQ(object.Init(), nullptr);
    object.SetMesh(&mesh);
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_STREQ(Draw(object), "E_Object: Couldn't lock Direct3D vertex buffer.");
    d3d8_testing::Reset();
    EXPECT_EQ(Draw(object), nullptr) << "still initialised, mesh kept";
    d3d8_testing::FailIndexBufferLock(true);
    EXPECT_STREQ(Draw(object), "E_Object: Couldn't lock Direct3D index buffer.");
    d3d8_testing::Reset();
    // The device holds the buffers it last drew from, as Direct3D does.
    g_device->SetStreamSource(0, nullptr, 0);
    g_device->SetIndices(nullptr, 0);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
    EXPECT_STREQ(Draw(object), "E_Object: Not initialized.");
}

}  // namespace
