// RayGrid: the screen-covering grid of 81 by 61 points that E_Planes and
// E_Tunnel ray-cast. What both effects share lives here: the buffers and
// their index list, the viewing ray of each grid point, the writing of the
// grid's vertices from its texture coordinates and brightness, and the draw
// in screen space. Each effect keeps its own buffers and arrays and only
// intersects the rays with its own surface.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>

const int kRayGridColumns = 81;
const int kRayGridRows = 61;
const int kRayGridPoints = kRayGridColumns * kRayGridRows;  // 4941

// The entry of grid point (column c, row r) in the gridU, gridV and gridShade
// arrays, which are stored column after column.
inline int RayGridEntry(int c, int r) { return c * kRayGridRows + r; }

// The messages each effect gives for the failures of CreateRayGridBuffers.
struct RayGridMessages {
    const char* createVertexBuffer;
    const char* createIndexBuffer;
    const char* lockIndexBuffer;
};

// Creates both buffers and writes the two triangles of every grid cell into
// the index buffer. Null on success, else the message of the step that
// failed; whatever was created is left for the caller's Release.
const char* CreateRayGridBuffers(IDirect3DVertexBuffer8** vertexBuffer, IDirect3DIndexBuffer8** indexBuffer,
                                 const RayGridMessages& messages);
void ReleaseRayGridBuffers(IDirect3DVertexBuffer8** vertexBuffer, IDirect3DIndexBuffer8** indexBuffer);

// RotationX * RotationY * RotationZ, X applied first.
D3DXMATRIX RayGridRotation(float rotationX, float rotationY, float rotationZ);
// The normalised direction of grid point (c, r): its camera-space ray, with
// depth as z, turned by rotation.
D3DXVECTOR3 RayGridDirection(const D3DXMATRIX& rotation, int c, int r, float depth);

// Writes vertex 81 r + c of every grid point at (8 c, 8 r, 0) in the grey of
// its brightness (alpha too) with its texture coordinates. False when the
// buffer cannot be locked.
bool WriteRayGridVertices(IDirect3DVertexBuffer8* vertexBuffer, const float* gridU, const float* gridV,
                          const uint8_t* gridShade);

// Draws the grid over the screen, texture times vertex grey (twice the grey
// with doubled), added onto the frame when additive; restores what it changes.
void DrawRayGrid(IDirect3DVertexBuffer8* vertexBuffer, IDirect3DIndexBuffer8* indexBuffer,
                 IDirect3DTexture8* texture, bool additive, bool doubled);
