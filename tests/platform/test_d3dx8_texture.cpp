// Tests of D3DX texture loading: BMP variants written here byte by byte and
// decoded, the resampler and the mip chain as plain pixel arrays, and
// D3DXCreateTextureFromFileExA and LoadTexture against a device that keeps
// its textures in memory, so every level can be read back exactly, and on
// the headless Direct3D device, drawing what was loaded.
#include <d3dx8.h>

#include "Shell.h"
#include "TestDevice.h"
#include "d3d8_testing.h"
#include "Texture.h"
#include "d3dx8_image.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using d3dx8_image::Image;

namespace {

// ---------------------------------------------------------------------------
// BMP files by hand.

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

struct Bmp {
    int width = 0;
    int height = 0;  // negative: rows top first
    int bitCount = 24;
    uint32_t compression = 0;  // BI_RGB 0, BI_RLE8 1, BI_RLE4 2, BI_BITFIELDS 3
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint8_t> pixels;    // the encoded pixel array, rows as stored
    uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A for a version 4 header
    bool version4 = false;
};

// A 32-bit BMP with a version 4 header and ARGB bit masks; the caller fills its pixels.
Bmp ArgbBmp(int width, int height)
{
    Bmp bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = 32;
    bmp.compression = 3;
    bmp.version4 = true;
    bmp.masks[0] = 0x00FF0000;
    bmp.masks[1] = 0x0000FF00;
    bmp.masks[2] = 0x000000FF;
    bmp.masks[3] = 0xFF000000;
    return bmp;
}

std::vector<uint8_t> Encode(const Bmp& bmp)
{
    const uint32_t infoSize = bmp.version4 ? 108 : 40;
    const uint32_t offset = 14 + infoSize + 4 * static_cast<uint32_t>(bmp.palette.size());
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put(out, offset + static_cast<uint32_t>(bmp.pixels.size()), 4);
    Put(out, 0, 4);
    Put(out, offset, 4);
    Put(out, infoSize, 4);
    Put(out, static_cast<uint32_t>(bmp.width), 4);
    Put(out, static_cast<uint32_t>(bmp.height), 4);
    Put(out, 1, 2);
    Put(out, static_cast<uint32_t>(bmp.bitCount), 2);
    Put(out, bmp.compression, 4);
    Put(out, static_cast<uint32_t>(bmp.pixels.size()), 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, static_cast<uint32_t>(bmp.palette.size()), 4);
    Put(out, 0, 4);
    if (bmp.version4) {
        for (uint32_t mask : bmp.masks) Put(out, mask, 4);
        Put(out, 0x73524742, 4);  // LCS_sRGB
        for (int i = 0; i < 12; ++i) Put(out, 0, 4);  // endpoints and gamma
    }
    for (uint32_t colour : bmp.palette) Put(out, colour, 4);
    out.insert(out.end(), bmp.pixels.begin(), bmp.pixels.end());
    return out;
}

// The test picture: every pixel a different colour.
uint32_t Colour(int x, int y) { return 0xFF000000u | (x * 40 + 5) << 16 | (y * 60 + 7) << 8 | (x * 13 + y * 17); }

// Uncompressed rows of width pixels, each padded to four bytes, in storage order.
std::vector<uint8_t> Rows(int width, int height, bool topDown, int bitCount,
                          const std::function<uint32_t(int, int)>& value)
{
    std::vector<uint8_t> out;
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        std::vector<uint8_t> line;
        uint32_t bits = 0;
        int used = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            if (bitCount < 8) {
                bits = (bits << bitCount) | v;
                used += bitCount;
                if (used == 8) {
                    line.push_back(static_cast<uint8_t>(bits));
                    bits = 0;
                    used = 0;
                }
            } else {
                Put(line, v, bitCount / 8);
            }
        }
        if (used > 0) line.push_back(static_cast<uint8_t>(bits << (8 - used)));
        while (line.size() % 4) line.push_back(0);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

Bmp TrueColour(int width, int height, int bitCount, bool topDown)
{
    Bmp bmp;
    bmp.width = width;
    bmp.height = topDown ? -height : height;
    bmp.bitCount = bitCount;
    bmp.pixels = Rows(width, height, topDown, bitCount, [](int x, int y) { return Colour(x, y) & 0xFFFFFFu; });
    return bmp;
}

std::vector<uint32_t> Palette(int count)
{
    std::vector<uint32_t> palette;
    for (int i = 0; i < count; ++i) palette.push_back(static_cast<uint32_t>(i * 0x0F0B07 + 0x102030) & 0xFFFFFF);
    return palette;
}

int PaletteIndex(int x, int y, int count) { return (x + 3 * y) % count; }

Bmp Palettised(int width, int height, int bitCount)
{
    Bmp bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = bitCount;
    bmp.palette = Palette(1 << bitCount);
    const int count = 1 << bitCount;
    bmp.pixels = Rows(width, height, false, bitCount,
                      [count](int x, int y) { return static_cast<uint32_t>(PaletteIndex(x, y, count)); });
    return bmp;
}

Image Decode(const std::vector<uint8_t>& bytes, d3dx8_image::SourceInfo* infoOut = nullptr)
{
    Image image;
    d3dx8_image::SourceInfo info;
    EXPECT_TRUE(d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info));
    if (infoOut) *infoOut = info;
    return image;
}

void ExpectPicture(const Image& image, int width, int height, const std::function<uint32_t(int, int)>& expected)
{
    ASSERT_EQ(width, image.width);
    ASSERT_EQ(height, image.height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(expected(x, y), image.At(x, y)) << "pixel " << x << ", " << y;
        }
    }
}

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 255); }

Image Solid(int width, int height, const std::function<uint32_t(int, int)>& colour)
{
    Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(colour(x, y));
    return image;
}

// ---------------------------------------------------------------------------
// A device whose textures live in memory; everything but CreateTexture fails.

struct MemoryTexture : IDirect3DTexture8 {
    struct Level {
        UINT width, height;
        INT pitch;
        std::vector<uint8_t> bytes;
        bool locked = false;
        int unlocks = 0;
    };
    ULONG references = 1;
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
    std::vector<Level> levels;
    bool failLock = false;
    bool* destroyed = nullptr;

    ULONG AddRef() override { return ++references; }
    ULONG Release() override
    {
        const ULONG left = --references;
        if (left == 0) {
            if (destroyed) *destroyed = true;
            delete this;
        }
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice8**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override
    {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        *desc = D3DSURFACE_DESC{format, D3DRTYPE_SURFACE, usage, pool, 0, D3DMULTISAMPLE_NONE,
                                levels[level].width, levels[level].height};
        return D3D_OK;
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override
    {
        if (failLock || level >= levels.size() || rect || levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = true;
        locked->Pitch = levels[level].pitch;
        locked->pBits = levels[level].bytes.data();
        return D3D_OK;
    }
    HRESULT UnlockRect(UINT level) override
    {
        if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = false;
        ++levels[level].unlocks;
        return D3D_OK;
    }
    uint32_t Texel(UINT level, UINT x, UINT y) const
    {
        uint32_t v;
        std::memcpy(&v, &levels[level].bytes[y * levels[level].pitch + x * 4], 4);
        return v;
    }
    Image LevelImage(UINT level) const
    {
        return Solid(levels[level].width, levels[level].height,
                     [&](int x, int y) { return Texel(level, x, y); });
    }
};

struct MemoryDevice : IDirect3DDevice8 {
    struct Call {
        UINT width, height, levels;
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
    };
    std::vector<Call> calls;
    HRESULT createResult = D3D_OK;
    bool failLocks = false;
    bool textureDestroyed = false;

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override
    {
        calls.push_back({width, height, levels, usage, format, pool});
        if (FAILED(createResult)) return createResult;
        auto* t = new MemoryTexture;
        t->format = format;
        t->usage = usage;
        t->pool = pool;
        t->failLock = failLocks;
        t->destroyed = &textureDestroyed;
        for (UINT i = 0; i < levels; ++i) {
            const UINT w = std::max(1u, width >> i), h = std::max(1u, height >> i);
            const INT pitch = static_cast<INT>(w * 4 + 12);  // rows padded, as drivers do
            t->levels.push_back({w, h, pitch, std::vector<uint8_t>(pitch * h, 0xCD)});
        }
        *texture = t;
        return D3D_OK;
    }
    HRESULT TestCooperativeLevel() override { return D3DERR_INVALIDCALL; }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override { return D3DERR_INVALIDCALL; }
    HRESULT CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8**) override { return D3DERR_INVALIDCALL; }
    HRESULT CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer8**) override { return D3DERR_INVALIDCALL; }
    HRESULT BeginScene() override { return D3DERR_INVALIDCALL; }
    HRESULT EndScene() override { return D3DERR_INVALIDCALL; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetViewport(const D3DVIEWPORT8*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetViewport(D3DVIEWPORT8*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetMaterial(const D3DMATERIAL8*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetMaterial(D3DMATERIAL8*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetLight(DWORD, const D3DLIGHT8*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetLight(DWORD, D3DLIGHT8*) override { return D3DERR_INVALIDCALL; }
    HRESULT LightEnable(DWORD, BOOL) override { return D3DERR_INVALIDCALL; }
    HRESULT GetLightEnable(DWORD, BOOL*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture8**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture8*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3DERR_INVALIDCALL; }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT) override { return D3DERR_INVALIDCALL; }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return D3DERR_INVALIDCALL; }
    HRESULT SetVertexShader(DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT GetVertexShader(DWORD*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer8*, UINT) override { return D3DERR_INVALIDCALL; }
    HRESULT SetIndices(IDirect3DIndexBuffer8*, UINT) override { return D3DERR_INVALIDCALL; }
};

// Releases a texture at the end of a test.
struct TextureDeleter {
    void operator()(IDirect3DTexture8* t) const
    {
        if (t) t->Release();
    }
};
using TexturePtr = std::unique_ptr<IDirect3DTexture8, TextureDeleter>;

const DWORD kLinearDither = D3DX_FILTER_LINEAR | D3DX_FILTER_DITHER;

// A directory of BMP files per test, removed afterwards.
class TextureFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("bralmond_tex_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Loads as LoadTexture does, at width by height.
    HRESULT Load(const std::string& path, UINT width, UINT height, IDirect3DTexture8** texture,
                 D3DXIMAGE_INFO* info = nullptr, D3DCOLOR colourKey = 0)
    {
        return D3DXCreateTextureFromFileExA(&device, path.c_str(), width, height, 0, 0, D3DFMT_UNKNOWN,
                                            D3DPOOL_DEFAULT, kLinearDither, kLinearDither, colourKey, info,
                                            nullptr, texture);
    }

    MemoryTexture& Memory(IDirect3DTexture8* texture) { return *static_cast<MemoryTexture*>(texture); }

    fs::path dir;
    MemoryDevice device;
};

// 640 by 480, the left half red and the right half blue.
std::vector<uint8_t> HalvesBmp()
{
    Bmp bmp;
    bmp.width = 640;
    bmp.height = 480;
    bmp.pixels = Rows(640, 480, false, 24, [](int x, int) { return x < 320 ? 0xFF0000u : 0x0000FFu; });
    return Encode(bmp);
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(BmpDecoding, TwentyFourBitBottomUpWithPaddedRows)
{
    d3dx8_image::SourceInfo info;
    const Image image = Decode(Encode(TrueColour(5, 3, 24, false)), &info);
    ExpectPicture(image, 5, 3, Colour);
    EXPECT_EQ(D3DFMT_R8G8B8, info.format);
    EXPECT_FALSE(info.hasAlpha);
}

TEST(BmpDecoding, TopDownRowsComeOutInTheSameOrder)
{
    ExpectPicture(Decode(Encode(TrueColour(5, 3, 24, true))), 5, 3, Colour);
    ExpectPicture(Decode(Encode(TrueColour(3, 4, 32, true))), 3, 4, Colour);
}

TEST(BmpDecoding, ThirtyTwoBitWithoutAlphaIsOpaque)
{
    d3dx8_image::SourceInfo info;
    ExpectPicture(Decode(Encode(TrueColour(3, 4, 32, false)), &info), 3, 4, Colour);
    EXPECT_FALSE(info.hasAlpha);
    EXPECT_EQ(D3DFMT_X8R8G8B8, info.format);
}

TEST(BmpDecoding, ThirtyTwoBitWithAnAlphaMaskKeepsAlpha)
{
    Bmp bmp = ArgbBmp(2, 2);
    const uint32_t argb[4] = {0x80102030, 0xFF405060, 0x00708090, 0x40A0B0C0};  // top row first
    bmp.pixels = Rows(2, 2, false, 32, [&](int x, int y) { return argb[y * 2 + x]; });
    d3dx8_image::SourceInfo info;
    ExpectPicture(Decode(Encode(bmp), &info), 2, 2, [&](int x, int y) { return argb[y * 2 + x]; });
    EXPECT_TRUE(info.hasAlpha);
    EXPECT_EQ(D3DFMT_A8R8G8B8, info.format);
}

TEST(BmpDecoding, SixteenBitFiveFiveFive)
{
    Bmp bmp;
    bmp.width = 3;
    bmp.height = 2;
    bmp.bitCount = 16;
    // 5 bits a channel: full red, full green, full blue / black, white, mid grey.
    const uint32_t words[6] = {0x7C00, 0x03E0, 0x001F, 0x0000, 0x7FFF, 0x4210};
    const uint32_t expected[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848484};
    bmp.pixels = Rows(3, 2, false, 16, [&](int x, int y) { return words[y * 3 + x]; });
    d3dx8_image::SourceInfo info;
    const Image image = Decode(Encode(bmp), &info);
    ASSERT_EQ(3, image.width);
    ASSERT_EQ(2, image.height);
    for (int i = 0; i < 6; ++i) {
        // Five bits widen to eight by scaling; whether 16/31 becomes 131 or 132 is the decoder's rounding.
        for (int shift : {0, 8, 16, 24}) {
            EXPECT_NEAR(Channel(expected[i], shift), Channel(image.At(i % 3, i / 3), shift), 1) << i;
        }
    }
    EXPECT_EQ(D3DFMT_X1R5G5B5, info.format);
}

TEST(BmpDecoding, SixteenBitFourFourFourWithAndWithoutAlpha)
{
    // Bit masks that SDL's own loader has no format for; D3DX reads them.
    for (const bool withAlpha : {false, true}) {
        Bmp bmp;
        bmp.width = 3;
        bmp.height = -2;  // top row first
        bmp.bitCount = 16;
        bmp.compression = 3;
        bmp.version4 = true;
        bmp.masks[0] = 0x0F00;
        bmp.masks[1] = 0x00F0;
        bmp.masks[2] = 0x000F;
        bmp.masks[3] = withAlpha ? 0xF000 : 0;
        const uint32_t words[6] = {0xFF00, 0xF0F0, 0xF00F, 0x7000, 0xFFFF, 0x8888};
        const uint32_t expected[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x77000000, 0xFFFFFFFF, 0x88888888};
        bmp.pixels = Rows(3, 2, true, 16, [&](int x, int y) { return words[y * 3 + x]; });
        d3dx8_image::SourceInfo info;
        const Image image = Decode(Encode(bmp), &info);
        ASSERT_EQ(3, image.width);
        ASSERT_EQ(2, image.height);
        for (int i = 0; i < 6; ++i) {
            const uint32_t want = withAlpha ? expected[i] : (expected[i] | 0xFF000000u);
            EXPECT_EQ(want, image.At(i % 3, i / 3)) << i << " alpha " << withAlpha;
        }
        EXPECT_EQ(withAlpha ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4, info.format);
    }
}

TEST(BmpDecoding, PalettisedOneFourAndEightBit)
{
    for (int bits : {1, 4, 8}) {
        const int count = 1 << bits;
        const std::vector<uint32_t> palette = Palette(count);
        d3dx8_image::SourceInfo info;
        // Widths that leave part of a byte and of a row's padding unused.
        const Image image = Decode(Encode(Palettised(11, 3, bits)), &info);
        ExpectPicture(image, 11, 3, [&](int x, int y) { return 0xFF000000u | palette[PaletteIndex(x, y, count)]; });
        EXPECT_EQ(D3DFMT_P8, info.format) << bits;
        EXPECT_FALSE(info.hasAlpha);
    }
}

TEST(BmpDecoding, RunLengthEncodedEightBit)
{
    Bmp bmp;
    bmp.width = 6;
    bmp.height = 3;
    bmp.bitCount = 8;
    bmp.compression = 1;
    bmp.palette = Palette(4);
    bmp.pixels = {
        6, 1, 0, 0,              // bottom row: six of colour 1, end of line
        2, 2, 0, 4, 3, 0, 1, 3,  // middle row: two of 2, then literally 3 0 1 3
        0, 0,                    // end of line
        3, 3, 3, 0, 0, 1,        // top row: three of 3 and three of 0, end of bitmap
    };
    const int expected[3][6] = {{3, 3, 3, 0, 0, 0}, {2, 2, 3, 0, 1, 3}, {1, 1, 1, 1, 1, 1}};
    ExpectPicture(Decode(Encode(bmp)), 6, 3,
                  [&](int x, int y) { return 0xFF000000u | bmp.palette[expected[y][x]]; });
}

TEST(BmpDecoding, RunLengthEncodedFourBit)
{
    Bmp bmp;
    bmp.width = 5;
    bmp.height = 2;
    bmp.bitCount = 4;
    bmp.compression = 2;
    bmp.palette = Palette(16);
    bmp.pixels = {
        5, 0x9A, 0, 0,           // bottom row: 9 A 9 A 9 alternating, end of line
        0, 5, 0x12, 0x34, 0x50, 0,  // top row literally 1 2 3 4 5 (padded to a word)
        0, 1,                    // end of bitmap
    };
    const int expected[2][5] = {{1, 2, 3, 4, 5}, {9, 10, 9, 10, 9}};
    ExpectPicture(Decode(Encode(bmp)), 5, 2,
                  [&](int x, int y) { return 0xFF000000u | bmp.palette[expected[y][x]]; });
}

TEST(BmpDecoding, CorruptOrTruncatedFilesFail)
{
    Image image;
    d3dx8_image::SourceInfo info;
    const auto fails = [&](const std::vector<uint8_t>& bytes) {
        return !d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info);
    };
    const std::vector<uint8_t> good = Encode(TrueColour(8, 8, 24, false));
    EXPECT_TRUE(fails({}));
    EXPECT_TRUE(fails({'B', 'M'}));
    std::vector<uint8_t> bytes = good;
    bytes[0] = 'X';
    EXPECT_TRUE(fails(bytes));
    for (size_t cut : {10, 30, 54, 60, 200}) {
        EXPECT_TRUE(fails(std::vector<uint8_t>(good.begin(), good.begin() + cut))) << cut;
    }
    EXPECT_TRUE(fails(std::vector<uint8_t>(256, 0xAB)));
    EXPECT_FALSE(d3dx8_image::DecodeBmp(nullptr, 100, image, info));
    // Run-length coding announced for a layout that has none: SDL would
    // read no rows and hand back a black picture of the claimed size.
    for (int bits : {16, 24}) {
        Bmp bmp = TrueColour(8, 8, bits, false);
        bmp.compression = 1;
        EXPECT_TRUE(fails(Encode(bmp))) << bits;
    }
    // Found by fuzzing: 38 bytes claiming 2560 x 9356 pixels, 16-bit,
    // run-length coded, that decoded to 24 million black pixels.
    EXPECT_TRUE(fails({0x42, 0x4d, 0xc2, 0x01, 0x29, 0x00, 0x01, 0x00, 0x21, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0xbb, 0x00, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x00, 0x8c, 0x24, 0x00, 0x00,
                       0x00, 0x00, 0x10, 0x00, 0x01, 0x00, 0x00, 0x00, 0xfc, 0xff, 0x00, 0x01}));
}

TEST(BmpDecoding, AbsurdSizesFailBeforeAnythingIsAllocated)
{
    Image image;
    d3dx8_image::SourceInfo info;
    for (int32_t w : {0, -5, 100000, 0x7FFFFFFF}) {
        Bmp bmp = TrueColour(4, 4, 24, false);
        bmp.width = w;
        const std::vector<uint8_t> bytes = Encode(bmp);
        EXPECT_FALSE(d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info)) << w;
    }
    for (int32_t h : {0, 100000, -100000, INT32_MIN}) {
        Bmp bmp = TrueColour(4, 4, 24, false);
        bmp.height = h;
        const std::vector<uint8_t> bytes = Encode(bmp);
        EXPECT_FALSE(d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info)) << h;
    }
    Bmp bmp = TrueColour(4, 4, 24, false);
    bmp.width = 16000;
    bmp.height = 16000;  // each side allowed, the area not
    const std::vector<uint8_t> bytes = Encode(bmp);
    EXPECT_FALSE(d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info));
}

// ---------------------------------------------------------------------------

TEST(Resampling, SameSizeIsAnExactCopy)
{
    const Image source = Solid(7, 5, Colour);
    ExpectPicture(d3dx8_image::Resample(source, 7, 5, d3dx8_image::Filter::Linear), 7, 5, Colour);
}

TEST(Resampling, HalvingAveragesEachTwoByTwoBlock)
{
    const Image source = Solid(4, 2, [](int x, int y) { return static_cast<uint32_t>(x * 10 + y * 100) << 8; });
    const Image half = d3dx8_image::Resample(source, 2, 1, d3dx8_image::Filter::Linear);
    ASSERT_EQ(2, half.width);
    ASSERT_EQ(1, half.height);
    EXPECT_EQ(55, Channel(half.At(0, 0), 8));  // (0 + 10 + 100 + 110) / 4
    EXPECT_EQ(75, Channel(half.At(1, 0), 8));  // (20 + 30 + 120 + 130) / 4
}

TEST(Resampling, HalvingRoundsEveryChannelToTheNearestAndAgreesAlongOneAxis)
{
    // Mixed bytes in all four channels, so that a carry between channels or
    // a rounding down would show; then the same columns halved across only
    // (the general weighted path) must give the same bytes.
    uint32_t seed = 12345;
    const Image source = Solid(16, 8, [&](int, int) { return seed = seed * 1664525u + 1013904223u; });
    const Image half = d3dx8_image::Resample(source, 8, 4, d3dx8_image::Filter::Linear);
    const Image across = d3dx8_image::Resample(source, 8, 8, d3dx8_image::Filter::Linear);
    const Image down = d3dx8_image::Resample(across, 8, 4, d3dx8_image::Filter::Linear);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            for (int shift : {0, 8, 16, 24}) {
                const int sum = Channel(source.At(2 * x, 2 * y), shift) + Channel(source.At(2 * x + 1, 2 * y), shift) +
                                Channel(source.At(2 * x, 2 * y + 1), shift) +
                                Channel(source.At(2 * x + 1, 2 * y + 1), shift);
                EXPECT_EQ((sum + 2) / 4, Channel(half.At(x, y), shift)) << x << "," << y << " channel " << shift;
                EXPECT_NEAR(Channel(down.At(x, y), shift), Channel(half.At(x, y), shift), 1) << x << "," << y;
            }
        }
    }
}

TEST(Resampling, EnlargingInterpolatesBetweenNeighbours)
{
    const Image source = Solid(2, 1, [](int x, int) { return x ? 0xFFu : 0u; });
    const Image wide = d3dx8_image::Resample(source, 4, 1, d3dx8_image::Filter::Linear);
    // Texel centres at -0.25, 0.25, 0.75 and 1.25 source pixels; the edges clamp.
    EXPECT_EQ(0, Channel(wide.At(0, 0), 0));
    EXPECT_EQ(64, Channel(wide.At(1, 0), 0));
    EXPECT_EQ(191, Channel(wide.At(2, 0), 0));
    EXPECT_EQ(255, Channel(wide.At(3, 0), 0));
}

TEST(Resampling, StrongShrinksSkipNoPixel)
{
    // A one-pixel line anywhere in 16 columns keeps its share in 4 columns.
    for (int line = 0; line < 16; ++line) {
        const Image source = Solid(16, 1, [&](int x, int) { return x == line ? 0xFFu : 0u; });
        const Image small = d3dx8_image::Resample(source, 4, 1, d3dx8_image::Filter::Linear);
        int sum = 0;
        for (int x = 0; x < 4; ++x) sum += Channel(small.At(x, 0), 0);
        EXPECT_NEAR(64, sum, 1) << line;
        EXPECT_GT(Channel(small.At(line / 4, 0), 0), 0) << line;
    }
}

TEST(Resampling, PointTakesThePixelUnderEachCentre)
{
    const Image source = Solid(4, 1, [](int x, int) { return static_cast<uint32_t>(x); });
    const Image small = d3dx8_image::Resample(source, 2, 1, d3dx8_image::Filter::Point);
    EXPECT_EQ(1u, small.At(0, 0));
    EXPECT_EQ(3u, small.At(1, 0));
}

TEST(Resampling, FullMipChainCountsHalvingsDownToOne)
{
    EXPECT_EQ(9u, d3dx8_image::FullMipCount(256, 256));
    EXPECT_EQ(10u, d3dx8_image::FullMipCount(800, 600));
    EXPECT_EQ(10u, d3dx8_image::FullMipCount(512, 384));
    EXPECT_EQ(7u, d3dx8_image::FullMipCount(64, 64));
    EXPECT_EQ(1u, d3dx8_image::FullMipCount(1, 1));
    EXPECT_EQ(3u, d3dx8_image::FullMipCount(1, 4));
}

// ---------------------------------------------------------------------------

TEST_F(TextureFiles, LargePictureAtTwoFiftySixGetsNineLevelsAndKeepsItsHalves)
{
    const std::string path = Write("Halves.bmp", HalvesBmp());
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(D3D_OK, Load(path, 256, 256, &raw));
    TexturePtr texture(raw);
    ASSERT_EQ(1u, device.calls.size());
    const MemoryDevice::Call& call = device.calls[0];
    EXPECT_EQ(256u, call.width);
    EXPECT_EQ(256u, call.height);
    EXPECT_EQ(9u, call.levels);
    EXPECT_EQ(0u, call.usage);
    EXPECT_EQ(D3DFMT_X8R8G8B8, call.format);
    EXPECT_EQ(D3DPOOL_DEFAULT, call.pool);
    ASSERT_EQ(9u, texture->GetLevelCount());

    MemoryTexture& memory = Memory(raw);
    for (UINT level = 0; level < 9; ++level) {
        EXPECT_EQ(1, memory.levels[level].unlocks) << level;
        EXPECT_FALSE(memory.levels[level].locked) << level;
    }
    // Level 0: red left of the middle, blue right of it, in every row; only
    // the column on each side of the seam mixes.
    for (UINT y = 0; y < 256; y += 51) {
        for (UINT x = 0; x < 127; ++x) ASSERT_EQ(0xFFFF0000u, memory.Texel(0, x, y)) << x << ", " << y;
        for (UINT x = 129; x < 256; ++x) ASSERT_EQ(0xFF0000FFu, memory.Texel(0, x, y)) << x << ", " << y;
    }
    // Padding bytes past each row are not written.
    EXPECT_EQ(0xCD, memory.levels[0].bytes[256 * 4]);
    // Every level keeps the halves; the last, one texel, is their average.
    EXPECT_EQ(0xFFFF0000u, memory.Texel(4, 0, 8));
    EXPECT_EQ(0xFF0000FFu, memory.Texel(4, 15, 8));
    const uint32_t last = memory.Texel(8, 0, 0);
    EXPECT_NEAR(128, Channel(last, 16), 1);
    EXPECT_EQ(0, Channel(last, 8));
    EXPECT_NEAR(128, Channel(last, 0), 1);
}

TEST_F(TextureFiles, MipLevelsHalveRoundingDownToOneByOne)
{
    const std::string path = Write("Card.bmp", Encode(TrueColour(5, 3, 24, false)));
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(D3D_OK, Load(path, 800, 600, &raw));
    TexturePtr texture(raw);
    ASSERT_EQ(10u, texture->GetLevelCount());
    const UINT widths[10] = {800, 400, 200, 100, 50, 25, 12, 6, 3, 1};
    const UINT heights[10] = {600, 300, 150, 75, 37, 18, 9, 4, 2, 1};
    for (UINT level = 0; level < 10; ++level) {
        D3DSURFACE_DESC desc;
        ASSERT_EQ(D3D_OK, texture->GetLevelDesc(level, &desc));
        EXPECT_EQ(widths[level], desc.Width);
        EXPECT_EQ(heights[level], desc.Height);
        EXPECT_EQ(1, Memory(raw).levels[level].unlocks);
    }
}

TEST_F(TextureFiles, SameSizeLoadKeepsEveryPixelOfEachVariant)
{
    Bmp rle;
    rle.width = 4;
    rle.height = 2;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.palette = Palette(3);
    rle.pixels = {4, 2, 0, 0, 2, 1, 2, 0, 0, 1};
    const std::vector<uint32_t> palette8 = Palette(256);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int width, height;
        std::function<uint32_t(int, int)> expected;
    } cases[] = {
        {"True24.bmp", Encode(TrueColour(4, 2, 24, false)), 4, 2, Colour},
        {"True32.bmp", Encode(TrueColour(4, 2, 32, false)), 4, 2, Colour},
        {"TopDown.bmp", Encode(TrueColour(4, 2, 24, true)), 4, 2, Colour},
        {"Pal8.bmp", Encode(Palettised(4, 2, 8)), 4, 2,
         [&](int x, int y) { return 0xFF000000u | palette8[PaletteIndex(x, y, 256)]; }},
        {"Rle8.bmp", Encode(rle), 4, 2,
         [&](int x, int y) { return 0xFF000000u | rle.palette[y == 0 ? (x < 2 ? 1 : 0) : 2]; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DTexture8* raw = nullptr;
        ASSERT_EQ(D3D_OK, Load(Write(c.name, c.bytes), c.width, c.height, &raw));
        TexturePtr texture(raw);
        ExpectPicture(Memory(raw).LevelImage(0), c.width, c.height, c.expected);
    }
}

TEST_F(TextureFiles, NameIsAWindowsPathMatchedInAnyLetterCase)
{
    Write("Data/Plane.bmp", Encode(TrueColour(4, 4, 24, false)));
    const std::string windowsPath = dir.string() + "\\data\\PLANE.BMP";
    IDirect3DTexture8* raw = nullptr;
    EXPECT_EQ(D3D_OK, Load(windowsPath, 4, 4, &raw));
    TexturePtr texture(raw);
    EXPECT_NE(nullptr, raw);
}

TEST_F(TextureFiles, MissingFileFailsAndCreatesNothing)
{
    IDirect3DTexture8* untouched = reinterpret_cast<IDirect3DTexture8*>(0x1234);
    const HRESULT result = Load((dir / "Missing.bmp").string(), 64, 64, &untouched);
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(reinterpret_cast<IDirect3DTexture8*>(0x1234), untouched);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_TRUE(FAILED(Load(dir.string(), 64, 64, &untouched)));  // a directory is no image
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(TextureFiles, CorruptFilesFailWithInvalidDataAndCreateNothing)
{
    const std::vector<uint8_t> good = Encode(TrueColour(8, 8, 24, false));
    const std::vector<std::vector<uint8_t>> corrupt = {
        {},
        std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2),
        std::vector<uint8_t>(1000, 0x42),
    };
    for (size_t i = 0; i < corrupt.size(); ++i) {
        IDirect3DTexture8* untouched = nullptr;
        EXPECT_EQ(D3DXERR_INVALIDDATA, Load(Write("Bad.bmp", corrupt[i]), 64, 64, &untouched)) << i;
        EXPECT_EQ(nullptr, untouched);
    }
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(TextureFiles, DeviceFailuresPassThroughAndLeakNothing)
{
    const std::string path = Write("Good.bmp", Encode(TrueColour(8, 8, 24, false)));
    IDirect3DTexture8* untouched = nullptr;
    device.createResult = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, Load(path, 8, 8, &untouched));
    EXPECT_EQ(nullptr, untouched);

    device.createResult = D3D_OK;
    device.failLocks = true;
    EXPECT_EQ(D3DERR_INVALIDCALL, Load(path, 8, 8, &untouched));
    EXPECT_EQ(nullptr, untouched);
    EXPECT_TRUE(device.textureDestroyed);
}

TEST_F(TextureFiles, MissingArgumentsAreInvalidCalls)
{
    const std::string path = Write("Good.bmp", Encode(TrueColour(8, 8, 24, false)));
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileExA(nullptr, path.c_str(), 8, 8, 0, 0, D3DFMT_UNKNOWN,
                                                               D3DPOOL_DEFAULT, kLinearDither, kLinearDither, 0,
                                                               nullptr, nullptr, &texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, Load(path, 8, 8, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileExA(&device, nullptr, 8, 8, 0, 0, D3DFMT_UNKNOWN,
                                                               D3DPOOL_DEFAULT, kLinearDither, kLinearDither, 0,
                                                               nullptr, nullptr, &texture));
    EXPECT_EQ(nullptr, texture);
}

TEST_F(TextureFiles, SourceInfoDescribesTheFile)
{
    const std::string path = Write("Pal.bmp", Encode(Palettised(6, 5, 8)));
    IDirect3DTexture8* raw = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3D_OK, Load(path, 16, 16, &raw, &info));
    TexturePtr texture(raw);
    EXPECT_EQ(6u, info.Width);
    EXPECT_EQ(5u, info.Height);
    EXPECT_EQ(1u, info.Depth);
    EXPECT_EQ(1u, info.MipLevels);
    EXPECT_EQ(D3DFMT_P8, info.Format);
    EXPECT_EQ(D3DRTYPE_TEXTURE, info.ResourceType);
    EXPECT_EQ(D3DXIFF_BMP, info.ImageFileFormat);
}

TEST_F(TextureFiles, DefaultSizeIsTheFilesRoundedUpToPowersOfTwo)
{
    const std::string path = Write("Odd.bmp", Encode(TrueColour(5, 3, 24, false)));
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(D3D_OK, Load(path, 0, D3DX_DEFAULT, &raw));
    TexturePtr texture(raw);
    EXPECT_EQ(8u, device.calls.at(0).width);
    EXPECT_EQ(4u, device.calls.at(0).height);
    EXPECT_EQ(4u, device.calls.at(0).levels);
}

TEST_F(TextureFiles, TransparentPixelsAndColourKeyGiveAnAlphaFormat)
{
    Bmp bmp = ArgbBmp(2, 1);
    bmp.pixels = {0x30, 0x20, 0x10, 0x80, 0x60, 0x50, 0x40, 0xFF};
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(D3D_OK, Load(Write("Alpha.bmp", Encode(bmp)), 2, 1, &raw));
    TexturePtr alpha(raw);
    EXPECT_EQ(D3DFMT_A8R8G8B8, device.calls.back().format);
    EXPECT_EQ(0x80102030u, Memory(raw).Texel(0, 0, 0));
    EXPECT_EQ(0xFF405060u, Memory(raw).Texel(0, 1, 0));

    // The key turns exactly the matching texels into transparent black.
    const std::string opaque = Write("Opaque.bmp", Encode(TrueColour(3, 1, 24, false)));
    ASSERT_EQ(D3D_OK, Load(opaque, 3, 1, &raw, nullptr, Colour(1, 0)));
    TexturePtr keyed(raw);
    EXPECT_EQ(D3DFMT_A8R8G8B8, device.calls.back().format);
    EXPECT_EQ(Colour(0, 0), Memory(raw).Texel(0, 0, 0));
    EXPECT_EQ(0u, Memory(raw).Texel(0, 1, 0));
    EXPECT_EQ(Colour(2, 0), Memory(raw).Texel(0, 2, 0));
}

TEST_F(TextureFiles, FormatsOtherThanThirtyTwoBitAreRefused)
{
    const std::string path = Write("Good.bmp", Encode(TrueColour(8, 8, 24, false)));
    IDirect3DTexture8* texture = nullptr;
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileExA(&device, path.c_str(), 8, 8, 0, 0, D3DFMT_R5G6B5,
                                                    D3DPOOL_DEFAULT, kLinearDither, kLinearDither, 0, nullptr,
                                                    nullptr, &texture)));
    EXPECT_EQ(nullptr, texture);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(TextureFiles, LoadTextureCreatesAFullChainInTheDefaultPoolOnTheShellsDevice)
{
    const std::string path = Write("Data/Hedra.bmp", Encode(TrueColour(4, 4, 24, false)));
    IDirect3DDevice8* saved = g_device;
    g_device = &device;
    IDirect3DTexture8* raw = nullptr;
    EXPECT_TRUE(LoadTexture(path.c_str(), 256, 256, &raw));
    TexturePtr texture(raw);
    EXPECT_FALSE(LoadTexture((dir / "Data/Missing.bmp").string().c_str(), 256, 256, &raw));
    g_device = saved;
    ASSERT_EQ(1u, device.calls.size());
    EXPECT_EQ(256u, device.calls[0].width);
    EXPECT_EQ(256u, device.calls[0].height);
    EXPECT_EQ(9u, device.calls[0].levels);
    EXPECT_EQ(0u, device.calls[0].usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, device.calls[0].pool);
    EXPECT_EQ(9u, texture->GetLevelCount());
}

// ---------------------------------------------------------------------------
// On the headless Direct3D device: the texture it creates holds the picture,
// and drawing it shows the picture the right way round in the right colours.

TEST_F(TextureFiles, DeviceTextureHoldsThePictureAndDrawsIt)
{
    IDirect3DDevice8* d3d = CreateTestDevice(256, 256);
    ASSERT_NE(nullptr, d3d);
    const size_t resourcesBefore = d3d8_testing::LiveResources();
    Bmp bmp;  // 640 by 480: red left half, blue right half, a green band along the top
    bmp.width = 640;
    bmp.height = 480;
    bmp.pixels = Rows(640, 480, false, 24,
                      [](int x, int y) { return y < 96 ? 0x00FF00u : x < 320 ? 0xFF0000u : 0x0000FFu; });
    const std::string path = Write("Data/Halves.bmp", Encode(bmp));

    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExA(d3d, path.c_str(), 256, 256, 0, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_DEFAULT, kLinearDither, kLinearDither, 0, nullptr,
                                                   nullptr, &texture));
    EXPECT_EQ(9u, texture->GetLevelCount());
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, texture->GetLevelDesc(8, &desc));
    EXPECT_EQ(1u, desc.Width);
    EXPECT_EQ(1u, desc.Height);
    EXPECT_EQ(D3DFMT_X8R8G8B8, desc.Format);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);

    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
    const auto texel = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v | 0xFF000000u;
    };
    EXPECT_EQ(0xFF00FF00u, texel(10, 10));
    EXPECT_EQ(0xFFFF0000u, texel(10, 200));
    EXPECT_EQ(0xFF0000FFu, texel(245, 200));
    texture->UnlockRect(0);

    // A screen-aligned quad, texel centres on pixel centres.
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    const float lo = -0.5f, hi = 255.5f;
    const Vertex quad[6] = {{lo, lo, 0.5f, 1, 0, 0}, {hi, lo, 0.5f, 1, 1, 0}, {lo, hi, 0.5f, 1, 0, 1},
                            {hi, lo, 0.5f, 1, 1, 0}, {hi, hi, 0.5f, 1, 1, 1}, {lo, hi, 0.5f, 1, 0, 1}};
    d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d3d->BeginScene();
    d3d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d3d->SetTexture(0, texture);
    d3d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    EXPECT_EQ(D3D_OK, d3d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex)));
    d3d->SetTexture(0, nullptr);
    d3d->EndScene();
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = ReadPixels(d3d, &w, &h);
    EXPECT_EQ(0x00FF00u, PixelAt(rgb, w, h, 128, 10));   // the top band at the top
    EXPECT_EQ(0xFF0000u, PixelAt(rgb, w, h, 10, 200));   // red on the left
    EXPECT_EQ(0x0000FFu, PixelAt(rgb, w, h, 245, 200));  // blue on the right

    texture->Release();
    EXPECT_EQ(resourcesBefore, d3d8_testing::LiveResources());
    d3d->Release();
}

TEST_F(TextureFiles, LoadTextureFailsWhenTheDeviceCannotCreateTheTexture)
{
    IDirect3DDevice8* d3d = CreateTestDevice(64, 64);
    ASSERT_NE(nullptr, d3d);
    const std::string path = Write("Small.bmp", Encode(TrueColour(4, 4, 24, false)));
    IDirect3DDevice8* saved = g_device;
    g_device = d3d;
    IDirect3DTexture8* texture = nullptr;
    d3d8_testing::FailCreateTexture(true);
    EXPECT_FALSE(LoadTexture(path.c_str(), 64, 64, &texture));
    d3d8_testing::FailCreateTexture(false);
    EXPECT_EQ(nullptr, texture);
    EXPECT_TRUE(LoadTexture(path.c_str(), 64, 64, &texture));
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(7u, texture->GetLevelCount());
    texture->Release();
    g_device = saved;
    d3d->Release();
}

TEST(BmpDecoding, DamagedFilesDecodeOrFailButNeverReadOutOfBounds)
{
    // Bytes of each variant changed at random (a fixed sequence): each result
    // is either a complete picture of the announced size or a failure.
    Bmp rle8;
    rle8.width = 6;
    rle8.height = 3;
    rle8.bitCount = 8;
    rle8.compression = 1;
    rle8.palette = Palette(4);
    rle8.pixels = {6, 1, 0, 0, 2, 2, 0, 4, 3, 0, 1, 3, 0, 0, 3, 3, 3, 0, 0, 1};
    Bmp rle4;
    rle4.width = 5;
    rle4.height = 2;
    rle4.bitCount = 4;
    rle4.compression = 2;
    rle4.palette = Palette(16);
    rle4.pixels = {5, 0x9A, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 0, 1};
    const std::vector<std::vector<uint8_t>> originals = {Encode(rle8), Encode(rle4), Encode(Palettised(9, 4, 1)),
                                                         Encode(TrueColour(5, 3, 24, true)),
                                                         Encode(TrueColour(3, 2, 32, false))};
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = originals[round % originals.size()];
        const int changes = 1 + static_cast<int>(next() % 4);
        for (int c = 0; c < changes; ++c) bytes[next() % bytes.size()] = static_cast<uint8_t>(next());
        if (next() % 4 == 0) bytes.resize(next() % bytes.size());
        Image image;
        d3dx8_image::SourceInfo info;
        if (d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, info)) {
            ++decoded;
            ASSERT_EQ(static_cast<size_t>(image.width) * image.height, image.pixels.size());
            ASSERT_EQ(image.width, info.width);
        }
    }
    EXPECT_GT(decoded, 0);  // damage to pixel values alone still decodes
}
