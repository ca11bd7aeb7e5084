// RayGrid: the screen-covering grid of 81 by 61 points that E_Planes and
// E_Tunnel ray-cast. What both effects share lives here: the grid they hold
// (buffers, angles, texture coordinates and brightness) and its life cycle,
// the index list, the viewing ray of each grid point, and the writing of the
// vertices and the draw in screen space. Each effect only intersects the
// rays with its own surface.
#pragma once

#include "MathHelpers.h"

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>

const int kRayGridColumns = 81;
const int kRayGridRows = 61;
const int kRayGridPoints = kRayGridColumns * kRayGridRows;  // 4941

// The entry of grid point (column c, row r) in the gridU, gridV and gridShade
// arrays, which are stored column after column.
inline int RayGridEntry(int c, int r) { return c * kRayGridRows + r; }

// The messages each effect gives for the failures of InitRayGrid.
struct RayGridMessages {
    const char* createVertexBuffer;
    const char* createIndexBuffer;
    const char* lockIndexBuffer;
};

// What each ray-grid effect holds: its buffers, the three angles that turn
// its rays, and the texture coordinates and brightness of every grid point,
// rewritten by each draw. The object is large (about 44 KB) and lives on the
// heap with its scene. It cannot be copied, its buffers being its own.
struct RayGrid {
    RayGrid() = default;
    RayGrid(const RayGrid&) = delete;
    RayGrid& operator=(const RayGrid&) = delete;
    ~RayGrid();  // releases the buffers

    bool initialized = false;
    IDirect3DVertexBuffer8* vertexBuffer = nullptr;
    IDirect3DIndexBuffer8* indexBuffer = nullptr;
    float rotationX = 0.0f;
    float rotationY = 0.0f;
    float rotationZ = 0.0f;
    float gridU[kRayGridPoints];
    float gridV[kRayGridPoints];
    uint8_t gridShade[kRayGridPoints];
};

// The life cycle both effects share. InitRayGrid releases the grid, creates
// both buffers and writes the two triangles of every grid cell into the
// index buffer; on a failure it releases what it made and returns the
// message of the step that failed. ReleaseRayGrid frees both buffers, clears
// `initialized` and zeroes the angles.
const char* InitRayGrid(RayGrid& grid, const RayGridMessages& messages);
void ReleaseRayGrid(RayGrid& grid);

// The rotation of the grid's angles.
inline D3DXMATRIX RayGridRotation(const RayGrid& grid)
{
    return RotationXYZ(grid.rotationX, grid.rotationY, grid.rotationZ);
}

// The normalised direction of grid point (c, r): its camera-space ray, with
// depth as z, turned by rotation.
D3DXVECTOR3 RayGridDirection(const D3DXMATRIX& rotation, int c, int r, float depth);

// Writes vertex 81 r + c of every grid point at (8 c, 8 r, 0) in the grey of
// its brightness (alpha too) with its texture coordinates, then draws the
// grid over the screen, texture times vertex grey (twice the grey with
// doubled), added onto the frame when additive, and restores what it
// changes. When the vertex buffer cannot be locked it draws nothing and
// returns lockMessage, the grid staying initialized.
const char* DrawRayGrid(RayGrid& grid, IDirect3DTexture8* texture, bool additive, bool doubled,
                        const char* lockMessage);
