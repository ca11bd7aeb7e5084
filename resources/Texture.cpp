// Texture loading through D3DXCreateTextureFromFileExA (see Texture.h).
#include "Texture.h"

#include "SharedDevice.h"

#include <d3dx8.h>

bool LoadTexture(const char* path, UINT width, UINT height, IDirect3DTexture8** texture)
{
    const DWORD filter = D3DX_FILTER_LINEAR | D3DX_FILTER_DITHER;
    const HRESULT result = D3DXCreateTextureFromFileExA(g_device, path, width, height, 0, 0, D3DFMT_UNKNOWN,
                                                        D3DPOOL_DEFAULT, filter, filter, 0, nullptr, nullptr,
                                                        texture);
    return SUCCEEDED(result);
}
