// E_Tunnel: the inside of an endless textured tube around the z axis seen
// from a free camera, ray-cast at the points of the screen grid (RayGrid.h)
// and drawn like E_Planes. The tube's cross-section may wobble with the angle
// around the axis and with time. Owns its vertex and index buffers.
#pragma once

#include "RayGrid.h"

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>

class E_Tunnel {
public:
    // Constructed with no buffers and zero angles; destroyed, it releases its
    // buffers; it cannot be copied (the grid's buffers are its own).
    const char* Init();
    const char* Render(IDirect3DTexture8* texture, int timeMs, bool wobble, bool scroll, bool additive,
                       D3DXVECTOR3 eye);
    // Frees the buffers and zeroes the angles.
    void Release();

    void SetRotationX(float angle) { grid.rotationX = angle; }
    void SetRotationY(float angle) { grid.rotationY = angle; }
    void SetRotationZ(float angle) { grid.rotationZ = angle; }

private:
    RayGrid grid;  // buffers, angles, and the texture coordinates and brightness of every grid point
};

// Where the ray from eye along the unit direction d meets the tube wall (the
// far root, the wall in front of a camera inside): its distance s and the hit
// point. False, with the hit at the camera and s 0, when the ray misses the
// tube or runs along its axis.
bool TunnelHit(D3DXVECTOR3 d, D3DXVECTOR3 eye, int timeMs, bool wobble, float* s, D3DXVECTOR3* hit);

// Brightness of a wall at distance s: 10 far away, brighter near, at most 255.
uint8_t TunnelShade(float s);

// Casts the ray of every grid point onto the tube and fills the texture
// coordinates (along the tube and around it) and brightness of each point;
// a ray that misses gives a black point with the camera's own coordinates.
void CastTunnelRays(const D3DXMATRIX& rotation, int timeMs, bool wobble, bool scroll, D3DXVECTOR3 eye,
                    float* gridU, float* gridV, uint8_t* gridShade);
