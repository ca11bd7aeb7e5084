// RayGrid: buffers, rays, vertices and the screen-space draw shared by the
// planes and the tunnel (see RayGrid.h).
#include "RayGrid.h"

#include "EffectHelpers.h"
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

bool WriteVertices(const RayGrid& grid)
{
    BYTE* data = nullptr;
    if (FAILED(grid.vertexBuffer->Lock(0, 0, &data, 0))) return false;
    GridVertex* vertices = reinterpret_cast<GridVertex*>(data);
    for (int r = 0; r < kRayGridRows; ++r) {
        for (int c = 0; c < kRayGridColumns; ++c) {
            const int entry = RayGridEntry(c, r);
            const DWORD grey = grid.gridShade[entry] * 0x01010101u;
            vertices[kRayGridColumns * r + c] = {kGridStep * static_cast<float>(c), kGridStep * static_cast<float>(r),
                                                 0.0f, grey, grid.gridU[entry], grid.gridV[entry]};
        }
    }
    grid.vertexBuffer->Unlock();
    return true;
}

}  // namespace

const char* InitRayGrid(RayGrid& grid, const RayGridMessages& messages)
{
    ReleaseRayGrid(grid);
    const char* message = nullptr;
    BYTE* data = nullptr;
    if (FAILED(g_device->CreateVertexBuffer(kVertexBytes, 0, kFvf, D3DPOOL_DEFAULT, &grid.vertexBuffer))) {
        grid.vertexBuffer = nullptr;
        message = messages.createVertexBuffer;
    } else if (FAILED(g_device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                                  &grid.indexBuffer))) {
        grid.indexBuffer = nullptr;
        message = messages.createIndexBuffer;
    } else if (FAILED(grid.indexBuffer->Lock(0, 0, &data, 0))) {
        message = messages.lockIndexBuffer;
    } else {
        WriteIndices(reinterpret_cast<WORD*>(data));
        grid.indexBuffer->Unlock();
    }
    if (message) {
        ReleaseRayGrid(grid);
        return message;
    }
    grid.initialized = true;
    return nullptr;
}

RayGrid::~RayGrid()
{
    ReleaseRayGrid(*this);
}

void ReleaseRayGrid(RayGrid& grid)
{
    ReleaseBuffers(grid.vertexBuffer, grid.indexBuffer);
    grid.initialized = false;
    grid.rotationX = grid.rotationY = grid.rotationZ = 0.0f;
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

const char* DrawRayGrid(RayGrid& grid, IDirect3DTexture8* texture, bool additive, bool doubled,
                        const char* lockMessage)
{
    if (!WriteVertices(grid)) return lockMessage;
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
    g_device->SetStreamSource(0, grid.vertexBuffer, sizeof(GridVertex));
    g_device->SetVertexShader(kFvf);
    g_device->SetIndices(grid.indexBuffer, 0);
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
    return nullptr;
}
