// RayGrid: buffers, rays, vertices and the screen-space draw shared by the
// planes and the tunnel (see RayGrid.h).
#include "RayGrid.h"

#include "SharedDevice.h"

namespace {

struct GridVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(GridVertex) == 24, "the 0x142 vertex format is 24 bytes");

const DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const int kCellColumns = kRayGridColumns - 1;
const int kCellRows = kRayGridRows - 1;
const int kIndexCount = kCellColumns * kCellRows * 6;                     // 28800
const UINT kVertexBytes = kRayGridPoints * sizeof(GridVertex);            // 118584
const UINT kIndexBytes = kIndexCount * sizeof(WORD);                      // 57600
const float kGridStep = 8.0f;

void WriteIndices(WORD* indices)
{
    for (int r = 0; r < kCellRows; ++r) {
        for (int c = 0; c < kCellColumns; ++c) {
            const WORD a = static_cast<WORD>(kRayGridColumns * r + c);
            WORD* cell = indices + 6 * (kCellColumns * r + c);
            cell[0] = a + 82;
            cell[1] = a + 1;
            cell[2] = a;
            cell[3] = a;
            cell[4] = a + 81;
            cell[5] = a + 82;
        }
    }
}

// World and view identity; x 0..640 and y 0..470 fill the screen, so the two
// top rows of grid points lie just above it.
void SetScreenTransforms()
{
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixOrthoOffCenterLH(&projection, 0.0f, 640.0f, 0.0f, 470.0f, -1.0f, 1.0f);
    g_device->SetTransform(D3DTS_WORLD, &identity);
    g_device->SetTransform(D3DTS_VIEW, &identity);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);
}

}  // namespace

const char* CreateRayGridBuffers(IDirect3DVertexBuffer8** vertexBuffer, IDirect3DIndexBuffer8** indexBuffer,
                                 const RayGridMessages& messages)
{
    if (FAILED(g_device->CreateVertexBuffer(kVertexBytes, 0, kFvf, D3DPOOL_DEFAULT, vertexBuffer))) {
        *vertexBuffer = nullptr;
        return messages.createVertexBuffer;
    }
    if (FAILED(g_device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                           indexBuffer))) {
        *indexBuffer = nullptr;
        return messages.createIndexBuffer;
    }
    BYTE* data = nullptr;
    if (FAILED((*indexBuffer)->Lock(0, 0, &data, 0))) return messages.lockIndexBuffer;
    WriteIndices(reinterpret_cast<WORD*>(data));
    (*indexBuffer)->Unlock();
    return nullptr;
}

void ReleaseRayGridBuffers(IDirect3DVertexBuffer8** vertexBuffer, IDirect3DIndexBuffer8** indexBuffer)
{
    if (*vertexBuffer) {
        (*vertexBuffer)->Release();
        *vertexBuffer = nullptr;
    }
    if (*indexBuffer) {
        (*indexBuffer)->Release();
        *indexBuffer = nullptr;
    }
}

D3DXMATRIX RayGridRotation(float rotationX, float rotationY, float rotationZ)
{
    D3DXMATRIX rotX, rotY, rotZ, rotation;
    D3DXMatrixRotationX(&rotX, rotationX);
    D3DXMatrixRotationY(&rotY, rotationY);
    D3DXMatrixRotationZ(&rotZ, rotationZ);
    D3DXMatrixMultiply(&rotation, &rotX, &rotY);
    D3DXMatrixMultiply(&rotation, &rotation, &rotZ);
    return rotation;
}

D3DXVECTOR3 RayGridDirection(const D3DXMATRIX& rotation, int c, int r, float depth)
{
    // The 0.0001 keeps the components off zero.
    D3DXVECTOR3 ray((static_cast<float>(c) + 0.0001f - 40.0f) * 0.016666668f,
                    (static_cast<float>(r) + 0.0001f - 30.0f) * 0.016666668f, depth);
    D3DXVec3TransformCoord(&ray, &ray, &rotation);
    D3DXVec3Normalize(&ray, &ray);
    return ray;
}

bool WriteRayGridVertices(IDirect3DVertexBuffer8* vertexBuffer, const float* gridU, const float* gridV,
                          const uint8_t* gridShade)
{
    BYTE* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0))) return false;
    GridVertex* vertices = reinterpret_cast<GridVertex*>(data);
    for (int r = 0; r < kRayGridRows; ++r) {
        for (int c = 0; c < kRayGridColumns; ++c) {
            const int entry = RayGridEntry(c, r);
            const DWORD grey = gridShade[entry] * 0x01010101u;
            vertices[kRayGridColumns * r + c] = {kGridStep * static_cast<float>(c), kGridStep * static_cast<float>(r),
                                                 0.0f, grey, gridU[entry], gridV[entry]};
        }
    }
    vertexBuffer->Unlock();
    return true;
}

void DrawRayGrid(IDirect3DVertexBuffer8* vertexBuffer, IDirect3DIndexBuffer8* indexBuffer,
                 IDirect3DTexture8* texture, bool additive, bool doubled)
{
    SetScreenTransforms();
    g_device->SetTexture(0, texture);
    if (doubled) g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (additive) {
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }
    // Both triangles of every cell run clockwise on screen, so the default
    // culling keeps them.
    g_device->SetStreamSource(0, vertexBuffer, sizeof(GridVertex));
    g_device->SetVertexShader(kFvf);
    g_device->SetIndices(indexBuffer, 0);
    g_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kRayGridPoints, 0, kIndexCount / 3);

    if (additive) {
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_device->SetTexture(0, nullptr);
    if (doubled) g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
}
