// E_Planes: an endless textured floor and ceiling seen from a free camera,
// ray-cast at the points of the screen grid (RayGrid.h) and drawn as one
// textured, grey-shaded triangle list. Owns its vertex and index buffers.
#pragma once

#include "RayGrid.h"

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>

class E_Planes {
public:
    E_Planes();
    ~E_Planes();
    E_Planes(const E_Planes&) = delete;
    E_Planes& operator=(const E_Planes&) = delete;

    const char* Init();
    const char* Render(IDirect3DTexture8* texture, int timeMs, bool ceilingOnly, bool scroll, bool additive,
                       D3DXVECTOR3 eye);
    // Frees the buffers and zeroes the angles.
    void Release();

    void SetRotationX(float angle) { rotationX = angle; }
    void SetRotationY(float angle) { rotationY = angle; }
    void SetRotationZ(float angle) { rotationZ = angle; }

private:
    bool initialized;
    IDirect3DVertexBuffer8* vertexBuffer;
    IDirect3DIndexBuffer8* indexBuffer;
    float rotationX;
    float rotationY;
    float rotationZ;
    float gridU[kRayGridPoints];
    float gridV[kRayGridPoints];
    uint8_t gridShade[kRayGridPoints];
};

// Casts the ray of every grid point from eye onto the ceiling y = 350 or the
// floor y = -350 (with ceilingOnly, rays looking down hit nothing and stay
// black) and fills the texture coordinates and brightness of each point.
void CastPlaneRays(const D3DXMATRIX& rotation, int timeMs, bool ceilingOnly, bool scroll, D3DXVECTOR3 eye,
                   float* gridU, float* gridV, uint8_t* gridShade);
