// Helpers for effect and scene tests (see EffectTesting.h).
#include "EffectTesting.h"

#include "Shell.h"
#include "TestDevice.h"
#include "d3d8_testing.h"
#include "ShellTesting.h"
#include "host.h"

#include <cstdlib>

namespace {

const D3DRENDERSTATETYPE kRenderStates[] = {
    D3DRS_ZENABLE,       D3DRS_FILLMODE,         D3DRS_SHADEMODE,        D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_SRCBLEND,       D3DRS_DESTBLEND,        D3DRS_CULLMODE,
    D3DRS_ZFUNC,         D3DRS_ALPHAREF,         D3DRS_ALPHAFUNC,        D3DRS_DITHERENABLE,
    D3DRS_ALPHABLENDENABLE, D3DRS_FOGENABLE,     D3DRS_SPECULARENABLE,   D3DRS_TEXTUREFACTOR,
    D3DRS_CLIPPING,      D3DRS_LIGHTING,         D3DRS_AMBIENT,          D3DRS_COLORVERTEX,
    D3DRS_LOCALVIEWER,   D3DRS_NORMALIZENORMALS, D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE, D3DRS_EMISSIVEMATERIALSOURCE,
};
const char* const kRenderStateNames[] = {
    "ZENABLE",   "FILLMODE",  "SHADEMODE", "ZWRITEENABLE", "ALPHATESTENABLE", "SRCBLEND",     "DESTBLEND",
    "CULLMODE",  "ZFUNC",     "ALPHAREF",  "ALPHAFUNC",    "DITHERENABLE",    "ALPHABLENDENABLE",
    "FOGENABLE", "SPECULARENABLE", "TEXTUREFACTOR", "CLIPPING", "LIGHTING", "AMBIENT", "COLORVERTEX",
    "LOCALVIEWER", "NORMALIZENORMALS", "DIFFUSEMATERIALSOURCE", "SPECULARMATERIALSOURCE",
    "AMBIENTMATERIALSOURCE", "EMISSIVEMATERIALSOURCE",
};
const D3DTEXTURESTAGESTATETYPE kStageStates[] = {
    D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,     D3DTSS_ALPHAOP,   D3DTSS_ALPHAARG1,
    D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_ADDRESSU,  D3DTSS_ADDRESSV,  D3DTSS_MAGFILTER,
    D3DTSS_MINFILTER, D3DTSS_MIPFILTER, D3DTSS_TEXTURETRANSFORMFLAGS,
};
const char* const kStageStateNames[] = {
    "COLOROP", "COLORARG1", "COLORARG2", "ALPHAOP", "ALPHAARG1", "ALPHAARG2", "TEXCOORDINDEX",
    "ADDRESSU", "ADDRESSV", "MAGFILTER", "MINFILTER", "MIPFILTER", "TEXTURETRANSFORMFLAGS",
};

std::vector<std::string> EntryNames()
{
    std::vector<std::string> names(std::begin(kRenderStateNames), std::end(kRenderStateNames));
    for (int stage = 0; stage < 2; ++stage) {
        for (const char* name : kStageStateNames) names.push_back("stage " + std::to_string(stage) + " " + name);
        names.push_back("stage " + std::to_string(stage) + " texture");
    }
    names.push_back("light 0 enabled");
    return names;
}

}  // namespace

DeviceStates SnapshotStates(IDirect3DDevice8* device)
{
    DeviceStates states;
    for (D3DRENDERSTATETYPE state : kRenderStates) {
        DWORD value = 0xDEADBEEF;
        device->GetRenderState(state, &value);
        states.values.push_back(value);
    }
    for (DWORD stage = 0; stage < 2; ++stage) {
        for (D3DTEXTURESTAGESTATETYPE type : kStageStates) {
            DWORD value = 0xDEADBEEF;
            device->GetTextureStageState(stage, type, &value);
            states.values.push_back(value);
        }
        IDirect3DBaseTexture8* texture = nullptr;
        device->GetTexture(stage, &texture);
        states.values.push_back(static_cast<DWORD>(reinterpret_cast<uintptr_t>(texture)));
        if (texture) texture->Release();
    }
    BOOL enabled = FALSE;
    device->GetLightEnable(0, &enabled);
    states.values.push_back(static_cast<DWORD>(enabled));
    return states;
}

std::string DescribeDifferences(const DeviceStates& before, const DeviceStates& after)
{
    const std::vector<std::string> names = EntryNames();
    std::string text;
    for (size_t i = 0; i < before.values.size() && i < after.values.size(); ++i) {
        if (before.values[i] != after.values[i])
            text += names[i] + ": " + std::to_string(before.values[i]) + " -> " + std::to_string(after.values[i]) + "; ";
    }
    return text.empty() ? "no difference" : text;
}

IDirect3DTexture8* MakeTexture(IDirect3DDevice8* device, UINT width, UINT height,
                               const std::function<uint32_t(UINT, UINT)>& texel)
{
    IDirect3DTexture8* texture = nullptr;
    if (FAILED(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture))) return nullptr;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        texture->Release();
        return nullptr;
    }
    for (UINT y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < width; ++x) row[x] = texel(x, y);
    }
    texture->UnlockRect(0);
    return texture;
}

void ShellDeviceTest::SetUp()
{
    ResetHost();
    d3d8_testing::Reset();
    g_device = CreateTestDevice(800, 600);
    ASSERT_NE(g_device, nullptr);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
}

void ShellDeviceTest::TearDown()
{
    if (g_device) g_device->Release();
    g_device = nullptr;
    ResetHost();
}

void ShellDeviceTest::Capture()
{
    picture = ReadPixels(g_device, &width, &height);
}

uint32_t ShellDeviceTest::At(int x, int y) const
{
    return PixelAt(picture, width, height, x, y);
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255)) > tolerance)
            return false;
    }
    return (a >> 24) == (b >> 24);
}
