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
    // Constructed with no buffers and zero angles; destroyed, it releases its
    // buffers; it cannot be copied (the grid's buffers are its own).
    const char* Init();
    const char* Render(IDirect3DTexture8* texture, int timeMs, bool ceilingOnly, bool scroll, bool additive,
                       D3DXVECTOR3 eye);
    // Frees the buffers and zeroes the angles.
    void Release();

    void SetRotationX(float angle) { grid.rotationX = angle; }
    void SetRotationY(float angle) { grid.rotationY = angle; }
    void SetRotationZ(float angle) { grid.rotationZ = angle; }

private:
    RayGrid grid;  // buffers, angles, and the texture coordinates and brightness of every grid point
};

// Casts the ray of every grid point from eye onto the ceiling y = 350 or the
// floor y = -350 (with ceilingOnly, rays looking down hit nothing and stay
// black) and fills the texture coordinates and brightness of each point.
void CastPlaneRays(const D3DXMATRIX& rotation, int timeMs, bool ceilingOnly, bool scroll, D3DXVECTOR3 eye,
                   float* gridU, float* gridV, uint8_t* gridShade);
