// The device's state: Direct3D's defaults, every Get returning what was Set,
// validation of out-of-range arguments, and reference counting of what the
// device holds (textures, streams, indices).
#include "TestDevice.h"

#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class StateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d8_testing::Reset();
        device = CreateTestDevice();
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
    }
    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
        return value;
    }
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
    {
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(device->GetTextureStageState(stage, type, &value), D3D_OK);
        return value;
    }
    IDirect3DDevice8* device = nullptr;
};

float AsFloat(DWORD value)
{
    float f;
    std::memcpy(&f, &value, sizeof(f));
    return f;
}

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b)
{
    return std::memcmp(&a, &b, sizeof(D3DMATRIX)) == 0;
}

D3DMATRIX Numbered(float start)
{
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = start + static_cast<float>(i);
    return m;
}

// --- Defaults -----------------------------------------------------------------

TEST_F(StateTest, RenderStatesStartAtDirect3DsDefaults)
{
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));  // automatic depth buffer
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    EXPECT_EQ(RenderState(D3DRS_SHADEMODE), static_cast<DWORD>(D3DSHADE_GOURAUD));
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_ALPHATESTENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_LASTPIXEL), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 0u);
    EXPECT_EQ(RenderState(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
    EXPECT_EQ(RenderState(D3DRS_DITHERENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_FOGENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_SPECULARENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(AsFloat(RenderState(D3DRS_FOGEND)), 1.0f);
    EXPECT_EQ(AsFloat(RenderState(D3DRS_FOGDENSITY)), 1.0f);
    EXPECT_EQ(RenderState(D3DRS_STENCILENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_STENCILFUNC), static_cast<DWORD>(D3DCMP_ALWAYS));
    EXPECT_EQ(RenderState(D3DRS_STENCILMASK), 0xffffffffu);
    EXPECT_EQ(RenderState(D3DRS_TEXTUREFACTOR), 0xffffffffu);
    EXPECT_EQ(RenderState(D3DRS_WRAP0), 0u);
    EXPECT_EQ(RenderState(D3DRS_CLIPPING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_AMBIENT), 0u);
    EXPECT_EQ(RenderState(D3DRS_COLORVERTEX), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_LOCALVIEWER), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_NORMALIZENORMALS), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_DIFFUSEMATERIALSOURCE), static_cast<DWORD>(D3DMCS_COLOR1));
    EXPECT_EQ(RenderState(D3DRS_SPECULARMATERIALSOURCE), static_cast<DWORD>(D3DMCS_COLOR2));
    EXPECT_EQ(RenderState(D3DRS_AMBIENTMATERIALSOURCE), static_cast<DWORD>(D3DMCS_MATERIAL));
    EXPECT_EQ(RenderState(D3DRS_EMISSIVEMATERIALSOURCE), static_cast<DWORD>(D3DMCS_MATERIAL));
    EXPECT_EQ(AsFloat(RenderState(D3DRS_POINTSIZE)), 1.0f);
    EXPECT_EQ(RenderState(D3DRS_COLORWRITEENABLE), 0xfu);
    EXPECT_EQ(RenderState(D3DRS_BLENDOP), 1u);  // D3DBLENDOP_ADD
}

TEST(StateDefaultsTest, ZEnableIsOffWithoutAnAutomaticDepthBuffer)
{
    d3d8_testing::Reset();
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 320;
    params.BackBufferHeight = 240;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device),
              D3D_OK);
    DWORD value = 1;
    EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_FALSE));
    // There is no depth buffer to clear.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    device->Release();
    d3d->Release();
}

TEST_F(StateTest, TextureStagesStartAtDirect3DsDefaults)
{
    EXPECT_EQ(StageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(StageState(0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    for (DWORD stage = 1; stage < 8; ++stage) {
        EXPECT_EQ(StageState(stage, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));
        EXPECT_EQ(StageState(stage, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_DISABLE));
    }
    for (DWORD stage = 0; stage < 8; ++stage) {
        EXPECT_EQ(StageState(stage, D3DTSS_COLORARG1), static_cast<DWORD>(D3DTA_TEXTURE));
        EXPECT_EQ(StageState(stage, D3DTSS_COLORARG2), static_cast<DWORD>(D3DTA_CURRENT));
        EXPECT_EQ(StageState(stage, D3DTSS_ALPHAARG1), static_cast<DWORD>(D3DTA_TEXTURE));
        EXPECT_EQ(StageState(stage, D3DTSS_ALPHAARG2), static_cast<DWORD>(D3DTA_CURRENT));
        EXPECT_EQ(StageState(stage, D3DTSS_TEXCOORDINDEX), stage);
        EXPECT_EQ(StageState(stage, D3DTSS_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(StageState(stage, D3DTSS_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(StageState(stage, D3DTSS_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(StageState(stage, D3DTSS_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(StageState(stage, D3DTSS_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
        EXPECT_EQ(StageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_DISABLE));
        IDirect3DBaseTexture8* texture = reinterpret_cast<IDirect3DBaseTexture8*>(1);
        EXPECT_EQ(device->GetTexture(stage, &texture), D3D_OK);
        EXPECT_EQ(texture, nullptr);
    }
}

TEST_F(StateTest, TransformsViewportMaterialAndShaderStartEmpty)
{
    const D3DMATRIX identity = IdentityMatrix();
    D3DMATRIX m;
    for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE0, D3DTS_TEXTURE7}) {
        ASSERT_EQ(device->GetTransform(state, &m), D3D_OK);
        EXPECT_TRUE(SameMatrix(m, identity)) << "transform " << static_cast<int>(state);
    }
    D3DVIEWPORT8 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, 800u);
    EXPECT_EQ(viewport.Height, 600u);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    D3DMATERIAL8 material;
    std::memset(&material, 0xff, sizeof(material));
    ASSERT_EQ(device->GetMaterial(&material), D3D_OK);
    const D3DMATERIAL8 zero{};
    EXPECT_EQ(std::memcmp(&material, &zero, sizeof(zero)), 0);
    DWORD shader = 1;
    ASSERT_EQ(device->GetVertexShader(&shader), D3D_OK);
    EXPECT_EQ(shader, 0u);
    // No light has been set.
    D3DLIGHT8 light{};
    BOOL enabled = TRUE;
    EXPECT_EQ(device->GetLight(0, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetLightEnable(0, &enabled), D3DERR_INVALIDCALL);
}

// --- Get returns what was Set ---------------------------------------------------

TEST_F(StateTest, RenderStatesReadBackAsSet)
{
    const std::pair<D3DRENDERSTATETYPE, DWORD> values[] = {
        {D3DRS_LIGHTING, FALSE},
        {D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_ZWRITEENABLE, FALSE},
        {D3DRS_ALPHABLENDENABLE, TRUE},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_SHADEMODE, D3DSHADE_FLAT},
        {D3DRS_ZENABLE, D3DZB_FALSE},
        {D3DRS_ZFUNC, D3DCMP_GREATER},
        {D3DRS_AMBIENT, 0xff102030},
        {D3DRS_TEXTUREFACTOR, 0x80808080},
        {D3DRS_COLORVERTEX, FALSE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_SPECULARENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, TRUE},
        {D3DRS_ALPHAREF, 0x40},
        {D3DRS_FILLMODE, D3DFILL_WIREFRAME},
    };
    for (const auto& [state, value] : values) ASSERT_EQ(device->SetRenderState(state, value), D3D_OK);
    for (const auto& [state, value] : values) EXPECT_EQ(RenderState(state), value) << "state " << static_cast<int>(state);
}

TEST_F(StateTest, TextureStageStatesReadBackAsSetPerStage)
{
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD), D3D_OK);
    EXPECT_EQ(StageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE2X));
    EXPECT_EQ(StageState(0, D3DTSS_COLORARG2), static_cast<DWORD>(D3DTA_DIFFUSE));
    EXPECT_EQ(StageState(0, D3DTSS_TEXCOORDINDEX), static_cast<DWORD>(D3DTSS_TCI_CAMERASPACENORMAL));
    EXPECT_EQ(StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_COUNT2));
    EXPECT_EQ(StageState(1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_ADD));
    // Stage 1's other states are untouched by stage 0's.
    EXPECT_EQ(StageState(1, D3DTSS_COLORARG2), static_cast<DWORD>(D3DTA_CURRENT));
}

TEST_F(StateTest, TransformsReadBackAsSetEachInItsOwnSlot)
{
    const D3DMATRIX world = Numbered(1), view = Numbered(20), projection = Numbered(40), texture = Numbered(60);
    ASSERT_EQ(device->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTS_TEXTURE0, &texture), D3D_OK);
    D3DMATRIX m;
    ASSERT_EQ(device->GetTransform(D3DTS_WORLD, &m), D3D_OK);
    EXPECT_TRUE(SameMatrix(m, world));
    ASSERT_EQ(device->GetTransform(D3DTS_VIEW, &m), D3D_OK);
    EXPECT_TRUE(SameMatrix(m, view));
    ASSERT_EQ(device->GetTransform(D3DTS_PROJECTION, &m), D3D_OK);
    EXPECT_TRUE(SameMatrix(m, projection));
    ASSERT_EQ(device->GetTransform(D3DTS_TEXTURE0, &m), D3D_OK);
    EXPECT_TRUE(SameMatrix(m, texture));
    ASSERT_EQ(device->GetTransform(D3DTS_TEXTURE1, &m), D3D_OK);
    EXPECT_TRUE(SameMatrix(m, IdentityMatrix()));
}

TEST_F(StateTest, MaterialLightsAndViewportReadBackAsSet)
{
    D3DMATERIAL8 material{};
    material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    material.Ambient = {0.3f, 0.3f, 0.3f, 0.3f};
    material.Power = 7.0f;
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    D3DMATERIAL8 readMaterial{};
    ASSERT_EQ(device->GetMaterial(&readMaterial), D3D_OK);
    EXPECT_EQ(std::memcmp(&readMaterial, &material, sizeof(material)), 0);

    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
    light.Ambient = {0.2f, 0.2f, 0.2f, 0.0f};
    light.Position = {0.0f, 5.0f, -6.0f};
    light.Range = 1000.0f;
    light.Attenuation0 = 1.0f;
    ASSERT_EQ(device->SetLight(3, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(3, TRUE), D3D_OK);
    // Lights below it were never set.
    D3DLIGHT8 unset{};
    EXPECT_EQ(device->GetLight(1, &unset), D3DERR_INVALIDCALL);
    D3DLIGHT8 readLight{};
    ASSERT_EQ(device->GetLight(3, &readLight), D3D_OK);
    EXPECT_EQ(std::memcmp(&readLight, &light, sizeof(light)), 0);
    BOOL enabled = FALSE;
    ASSERT_EQ(device->GetLightEnable(3, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);
    ASSERT_EQ(device->LightEnable(3, FALSE), D3D_OK);
    ASSERT_EQ(device->GetLightEnable(3, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    // The light itself is kept while disabled.
    ASSERT_EQ(device->GetLight(3, &readLight), D3D_OK);
    EXPECT_EQ(readLight.Position.z, -6.0f);

    D3DVIEWPORT8 viewport{10, 20, 300, 200, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    D3DVIEWPORT8 readViewport{};
    ASSERT_EQ(device->GetViewport(&readViewport), D3D_OK);
    EXPECT_EQ(std::memcmp(&readViewport, &viewport, sizeof(viewport)), 0);
}

TEST_F(StateTest, EnablingAnUnsetLightGivesTheDefaultDirectionalLight)
{
    ASSERT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    D3DLIGHT8 light{};
    ASSERT_EQ(device->GetLight(5, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
}

TEST_F(StateTest, VertexShaderReadsBackTheFvfCode)
{
    for (DWORD fvf : {0x142u, 0x152u, 0x112u}) {
        ASSERT_EQ(device->SetVertexShader(fvf), D3D_OK);
        DWORD read = 0;
        ASSERT_EQ(device->GetVertexShader(&read), D3D_OK);
        EXPECT_EQ(read, fvf);
    }
}

// --- Validation -------------------------------------------------------------

TEST_F(StateTest, OutOfRangeArgumentsAreRefused)
{
    D3DMATRIX m = IdentityMatrix();
    EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(7), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(D3DTS_WORLD, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_MODULATE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(99), 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(4000), 0), D3DERR_INVALIDCALL);
    DWORD value = 0;
    EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(4000), &value), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 tooWide{700, 0, 200, 100, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&tooWide), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 badDepth{0, 0, 100, 100, 0.0f, 2.0f};
    EXPECT_EQ(device->SetViewport(&badDepth), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 kept{};
    device->GetViewport(&kept);
    EXPECT_EQ(kept.Width, 800u);
    D3DLIGHT8 badType{};
    badType.Type = static_cast<D3DLIGHTTYPE>(9);
    EXPECT_EQ(device->SetLight(0, &badType), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetStreamSource(1, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(StateTest, SceneBracketsMustPair)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(StateTest, UnemulatedStatesAreStoredAndReportedOnce)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(device->SetRenderState(D3DRS_FOGENABLE, TRUE), D3D_OK);
    EXPECT_EQ(device->SetRenderState(D3DRS_FOGENABLE, TRUE), D3D_OK);
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(RenderState(D3DRS_FOGENABLE), static_cast<DWORD>(TRUE));
    const size_t first = text.find("D3DRS_FOGENABLE");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("D3DRS_FOGENABLE", first + 1), std::string::npos) << "reported twice: " << text;
}

// --- Reference counting -------------------------------------------------------

TEST_F(StateTest, SetTextureHoldsAReferenceUntilReplaced)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);  // ours, the device's, this one
    texture->Release();
    IDirect3DBaseTexture8* read = nullptr;
    ASSERT_EQ(device->GetTexture(0, &read), D3D_OK);
    EXPECT_EQ(read, static_cast<IDirect3DBaseTexture8*>(texture));
    EXPECT_EQ(read->Release(), 2u);  // GetTexture added one
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(StateTest, StreamAndIndicesHoldReferences)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(240, 0, 0x142, D3DPOOL_DEFAULT, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(60, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 24), D3D_OK);
    ASSERT_EQ(device->SetIndices(ib, 0), D3D_OK);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(ib->Release(), 1u);
    EXPECT_EQ(d3d8_testing::LiveResources(), 2u);
    ASSERT_EQ(device->SetStreamSource(0, nullptr, 0), D3D_OK);
    ASSERT_EQ(device->SetIndices(nullptr, 0), D3D_OK);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST(DeviceLifetimeTest, ReleasingTheDeviceLetsGoOfBoundResources)
{
    d3d8_testing::Reset();
    IDirect3DDevice8* device = CreateTestDevice();
    ASSERT_NE(device, nullptr);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    device->SetTexture(0, texture);
    texture->Release();
    EXPECT_EQ(d3d8_testing::LiveResources(), 1u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
    EXPECT_EQ(d3d8_testing::LiveDevices(), 0u);
}

TEST(DeviceLifetimeTest, ResourcesOutliveTheDeviceSafely)
{
    d3d8_testing::Reset();
    IDirect3DDevice8* device = CreateTestDevice();
    ASSERT_NE(device, nullptr);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    // The object stays until its last resource goes.
    EXPECT_EQ(d3d8_testing::LiveDevices(), 1u);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    data[0] = 1;
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(d3d8_testing::LiveDevices(), 0u);
}

TEST(DeviceLifetimeTest, ManyDevicesComeAndGoOnOneContext)
{
    d3d8_testing::Reset();
    for (int i = 0; i < 5; ++i) {
        IDirect3DDevice8* device = CreateTestDevice(200 + 10 * i, 150);
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u | static_cast<DWORD>(i), 1.0f, 0), D3D_OK);
        int w = 0, h = 0;
        ReadPixels(device, &w, &h);
        EXPECT_EQ(w, 200 + 10 * i);
        EXPECT_EQ(PixelAt(device, 5, 5), static_cast<uint32_t>(i));
        EXPECT_EQ(device->Release(), 0u);
    }
    EXPECT_EQ(d3d8_testing::LiveDevices(), 0u);
}

}  // namespace
