// Texture loading: one image file into a mip-mapped Direct3D texture of the
// size the caller chooses, through D3DX.
#pragma once

#include <d3d8.h>

// Reads path (a BMP under Data\), scales it to width by height with a full
// mip chain, in the default pool. True when the texture was created; the
// caller owns it and releases it with Release.
bool LoadTexture(const char* path, UINT width, UINT height, IDirect3DTexture8** texture);
