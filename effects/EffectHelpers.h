// Small helpers that the effects share: releasing an effect's vertex and
// index buffers, and the world, view and projection transforms of the
// effects drawn through a perspective camera.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

// Releases both buffers, skipping a null one, and leaves the pointers null.
void ReleaseBuffers(IDirect3DVertexBuffer8*& vertexBuffer, IDirect3DIndexBuffer8*& indexBuffer);

// World: the three rotations (X applied first); view: from eye towards
// target with y up; projection: the vertical field of view and aspect given,
// near plane 1, far plane 100.
void SetPerspectiveTransforms(float rotationX, float rotationY, float rotationZ, D3DXVECTOR3 target,
                              D3DXVECTOR3 eye, float fieldOfView, float aspect);
