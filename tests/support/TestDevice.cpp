// Headless test devices and pixel read-back for rendering tests.
#include "TestDevice.h"

#include "d3d8_host.h"

#include <gtest/gtest.h>

HRESULT TryCreateTestDevice(UINT width, UINT height, IDirect3DDevice8** device)
{
    *device = nullptr;
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    EXPECT_NE(d3d, nullptr) << "Direct3DCreate8 failed";
    if (!d3d) return D3DERR_NOTAVAILABLE;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    params.Windowed = FALSE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    const HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &params, device);
    d3d->Release();
    return hr;
}

IDirect3DDevice8* CreateTestDevice(UINT width, UINT height)
{
    IDirect3DDevice8* device = nullptr;
    const HRESULT hr = TryCreateTestDevice(width, height, &device);
    EXPECT_EQ(hr, D3D_OK) << "CreateDevice failed";
    return hr == D3D_OK ? device : nullptr;
}

std::vector<uint8_t> ReadPixels(IDirect3DDevice8* device, int* width, int* height)
{
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!d3d8_host::ReadBackBuffer(device, rgb, w, h)) ADD_FAILURE() << "ReadBackBuffer failed";
    if (width) *width = w;
    if (height) *height = h;
    return rgb;
}

uint32_t PixelAt(const std::vector<uint8_t>& rgb, int width, int height, int x, int y)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFF000000u;
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    if (at + 2 >= rgb.size()) return 0xFF000000u;
    return (uint32_t{rgb[at]} << 16) | (uint32_t{rgb[at + 1]} << 8) | rgb[at + 2];
}

uint32_t PixelAt(IDirect3DDevice8* device, int x, int y)
{
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = ReadPixels(device, &w, &h);
    return PixelAt(rgb, w, h, x, y);
}

D3DMATRIX IdentityMatrix()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX PixelProjection(UINT width, UINT height)
{
    D3DMATRIX m = IdentityMatrix();
    m._11 = 2.0f / static_cast<float>(width);
    m._22 = -2.0f / static_cast<float>(height);
    m._41 = -1.0f;
    m._42 = 1.0f;
    return m;
}
