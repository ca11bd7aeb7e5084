// The effects' shared helpers (see EffectHelpers.h).
#include "EffectHelpers.h"

#include "MathHelpers.h"
#include "SharedDevice.h"

void ReleaseBuffers(IDirect3DVertexBuffer8*& vertexBuffer, IDirect3DIndexBuffer8*& indexBuffer)
{
    if (vertexBuffer) {
        vertexBuffer->Release();
        vertexBuffer = nullptr;
    }
    if (indexBuffer) {
        indexBuffer->Release();
        indexBuffer = nullptr;
    }
}

void SetPerspectiveTransforms(float rotationX, float rotationY, float rotationZ, D3DXVECTOR3 target,
                              D3DXVECTOR3 eye, float fieldOfView, float aspect)
{
    const D3DXMATRIX world = RotationXYZ(rotationX, rotationY, rotationZ);
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &target, &up);
    D3DXMatrixPerspectiveFovLH(&projection, fieldOfView, aspect, 1.0f, 100.0f);
    g_device->SetTransform(D3DTS_WORLD, &world);
    g_device->SetTransform(D3DTS_VIEW, &view);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);
}
