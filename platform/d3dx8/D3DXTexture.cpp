// D3DXCreateTextureFromFileExA: reads an image file through the Win32
// stand-in (so the name is a Windows path, matched as CreateFileA matches
// it), decodes it, scales it to the requested size, builds the mip chain and
// fills a texture of the device level by level. BMP is the only file type.
//
// The textures are 32 bits a texel (X8R8G8B8, or A8R8G8B8 when the file has
// transparent pixels or a colour key applies), so D3DX_FILTER_DITHER, which
// matters only when reducing to fewer bits, has nothing to do.
#include <d3dx8.h>

#include "d3dx8_image.h"

#include "runtime.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using d3dx8_image::Image;

constexpr int64_t kMaxFileBytes = int64_t(1) << 28;

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const int64_t size = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
    bool ok = low != INVALID_FILE_SIZE && size <= kMaxFileBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, bytes.data(), static_cast<DWORD>(size), &read, nullptr) && read == size);
        if (!ok) runtime::NoteFailureReason(std::string(path) + ": could not be read whole");
    } else {
        runtime::NoteFailureReason(std::string(path) + ": larger than a picture can be (256 MiB) or of unknown size");
    }
    CloseHandle(file);
    return ok;
}

// A filter the loader does not implement is named once on stderr.
void NoteUnsupported(const char* what, DWORD value)
{
    static bool noted = false;
    if (!noted) std::fprintf(stderr, "D3DXCreateTextureFromFileExA: unsupported %s 0x%x\n", what, value);
    noted = true;
}

// D3DX_FILTER_NONE (no scaling) is accepted only where no scaling is needed.
bool ChooseFilter(DWORD filter, bool resizes, d3dx8_image::Filter& chosen)
{
    const DWORD type = filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : (filter & 0xFFFF);
    switch (type) {
    case D3DX_FILTER_NONE:
        if (resizes) {
            NoteUnsupported("filter", filter);
            return false;
        }
        chosen = d3dx8_image::Filter::Point;
        return true;
    case D3DX_FILTER_POINT:
        chosen = d3dx8_image::Filter::Point;
        return true;
    case D3DX_FILTER_LINEAR:
    case D3DX_FILTER_TRIANGLE:
    case D3DX_FILTER_BOX:
        chosen = d3dx8_image::Filter::Linear;
        return true;
    default:
        NoteUnsupported("filter", filter);
        return false;
    }
}

UINT RoundUpToPowerOfTwo(UINT v)
{
    UINT p = 1;
    while (p < v && p < 0x80000000u) p *= 2;
    return p;
}

HRESULT FillLevel(IDirect3DTexture8* texture, UINT level, const Image& image)
{
    D3DLOCKED_RECT locked;
    const HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(result)) return result;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    &image.pixels[static_cast<size_t>(y) * image.width], static_cast<size_t>(image.width) * 4);
    }
    return texture->UnlockRect(level);
}

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice8* pDevice, LPCSTR pSrcFile, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                            IDirect3DTexture8** ppTexture)
{
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;

    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(pSrcFile, bytes)) return D3DERR_NOTAVAILABLE;
    // Opened and read; what the picture holds may still fail it.
    Image image;
    d3dx8_image::SourceInfo source;
    if (!d3dx8_image::DecodeBmp(bytes.data(), bytes.size(), image, source)) {
        runtime::NoteFailureReason(std::string(pSrcFile) + ": not a complete BMP picture that the loader reads");
        return D3DXERR_INVALIDDATA;
    }

    // The colour key turns matching texels into transparent black before scaling.
    bool hasAlpha = source.hasAlpha;
    if (ColorKey != 0) {
        for (uint32_t& p : image.pixels) {
            if (p == ColorKey) {
                p = 0;
                hasAlpha = true;
            }
        }
    }

    if (Format == D3DFMT_UNKNOWN) Format = hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (Format != D3DFMT_X8R8G8B8 && Format != D3DFMT_A8R8G8B8) {
        NoteUnsupported("format", static_cast<DWORD>(Format));
        return D3DERR_NOTAVAILABLE;
    }
    if (Format == D3DFMT_X8R8G8B8) {
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
    }

    const UINT width = Width == 0 || Width == D3DX_DEFAULT ? RoundUpToPowerOfTwo(source.width) : Width;
    const UINT height = Height == 0 || Height == D3DX_DEFAULT ? RoundUpToPowerOfTwo(source.height) : Height;
    if (width > static_cast<UINT>(d3dx8_image::kMaxDimension) ||
        height > static_cast<UINT>(d3dx8_image::kMaxDimension)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT fullChain = d3dx8_image::FullMipCount(width, height);
    const UINT levels = MipLevels == 0 || MipLevels == D3DX_DEFAULT ? fullChain : std::min(MipLevels, fullChain);

    d3dx8_image::Filter filter, mipFilter;
    const bool resizes = width != static_cast<UINT>(source.width) || height != static_cast<UINT>(source.height);
    if (!ChooseFilter(Filter, resizes, filter) || !ChooseFilter(MipFilter == D3DX_DEFAULT ? D3DX_FILTER_BOX : MipFilter,
                                                                 levels > 1, mipFilter)) {
        return D3DERR_INVALIDCALL;
    }

    IDirect3DTexture8* texture = nullptr;
    HRESULT result = pDevice->CreateTexture(width, height, levels, Usage, Format, Pool, &texture);
    if (FAILED(result)) return result;
    if (!texture) return D3DERR_INVALIDCALL;

    Image level = d3dx8_image::Resample(image, static_cast<int>(width), static_cast<int>(height), filter);
    for (UINT i = 0; i < levels; ++i) {
        if (i > 0) {
            level = d3dx8_image::Resample(level, std::max(1, level.width / 2), std::max(1, level.height / 2),
                                          mipFilter);
        }
        result = FillLevel(texture, i, level);
        if (FAILED(result)) {
            texture->Release();
            return result;
        }
    }

    if (pSrcInfo) {
        *pSrcInfo = D3DXIMAGE_INFO{static_cast<UINT>(source.width), static_cast<UINT>(source.height), 1, 1,
                                   source.format, D3DRTYPE_TEXTURE, D3DXIFF_BMP};
    }
    (void)pPalette;  // only palettised texture formats fill it, and none is created
    *ppTexture = texture;
    return D3D_OK;
}
