// DrawOverlayQuad and DrawPerspectiveQuad: six vertices on the stack, drawn
// with DrawPrimitiveUP, no device resource of their own.
#include "Quads.h"

#include "EffectHelpers.h"
#include "SharedDevice.h"

namespace {

struct QuadVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 24, "the 0x142 vertex format is 24 bytes");

const DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

DWORD PackChannel(float c)
{
    if (c >= 1.0f) return 255;
    if (c > 0.0f) return static_cast<DWORD>(c * 255.0f + 0.5f);
    return 0;
}

}  // namespace

DWORD PackColour(D3DXCOLOR colour)
{
    return (PackChannel(colour.a) << 24) | (PackChannel(colour.r) << 16) | (PackChannel(colour.g) << 8) |
           PackChannel(colour.b);
}

void DrawOverlayQuad(IDirect3DTexture8* texture, float screenWidth, float screenHeight, float x, float y,
                     float width, float height, D3DXCOLOR colour, bool blend, bool alphaBlend)
{
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

    const float hw = screenWidth * 0.5f;
    const float hh = screenHeight * 0.5f;
    const float x0 = x - hw, y0 = y - hh;
    const float x1 = x0 + width, y1 = y0 + height;
    const DWORD diffuse = PackColour(colour);
    const QuadVertex vertices[6] = {
        {x0, y0, 1.0f, diffuse, 0.0f, 1.0f}, {x0, y1, 1.0f, diffuse, 0.0f, 0.0f},
        {x1, y0, 1.0f, diffuse, 1.0f, 1.0f}, {x1, y0, 1.0f, diffuse, 1.0f, 1.0f},
        {x0, y1, 1.0f, diffuse, 0.0f, 0.0f}, {x1, y1, 1.0f, diffuse, 1.0f, 0.0f},
    };

    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixOrthoOffCenterLH(&projection, -hw, hw, -hh, hh, -1.0f, 100.0f);
    g_device->SetTransform(D3DTS_WORLD, &identity);
    g_device->SetTransform(D3DTS_VIEW, &identity);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);

    g_device->SetTexture(0, texture);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (blend) {
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        if (alphaBlend) {
            g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        } else {
            g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        }
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }

    g_device->SetVertexShader(kQuadFvf);
    g_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(QuadVertex));

    if (blend) {
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        if (alphaBlend) g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_device->SetTexture(0, nullptr);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
}

void DrawPerspectiveQuad(IDirect3DTexture8* texture, float rotationX, float rotationY, float rotationZ,
                         D3DXVECTOR3 target, D3DXVECTOR3 eye, D3DXCOLOR colour, bool additive)
{
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

    const DWORD diffuse = PackColour(colour);
    const QuadVertex vertices[6] = {
        {1.5f, -1.5f, 1.0f, diffuse, 1.0f, 1.0f},  {-1.5f, -1.5f, 1.0f, diffuse, 0.0f, 1.0f},
        {-1.5f, 1.5f, 1.0f, diffuse, 0.0f, 0.0f},  {1.5f, -1.5f, 1.0f, diffuse, 1.0f, 1.0f},
        {-1.5f, 1.5f, 1.0f, diffuse, 0.0f, 0.0f},  {1.5f, 1.5f, 1.0f, diffuse, 1.0f, 0.0f},
    };

    SetPerspectiveTransforms(rotationX, rotationY, rotationZ, target, eye, 0.7853982f, 1.0f);

    g_device->SetTexture(0, texture);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (additive) {
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }

    g_device->SetVertexShader(kQuadFvf);
    g_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(QuadVertex));

    if (additive) {
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    g_device->SetTexture(0, nullptr);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
}
