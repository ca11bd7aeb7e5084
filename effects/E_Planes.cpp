// E_Planes: casts 4941 rays onto two horizontal planes every frame and draws
// the grid they shade, texture doubled by the grey of each point.
#include "E_Planes.h"

#include "MathHelpers.h"
#include "SharedDevice.h"

namespace {

const RayGridMessages kMessages = {
    "E_Planes: Couldn't create a Direct3D vertex buffer.",
    "E_Planes: Couldn't create a Direct3D index buffer.",
    "E_Planes: Couldn't lock Direct3D index buffer.",
};

// Bright near the camera, fading with the horizontal distance to the hit;
// black when the ray hit nothing (t = 0 leaves the hit at the camera). A NaN
// distance gives black too, so the byte conversion never sees one.
float PlaneBrightness(float q)
{
    if (!(q > 1e-22f)) return 0.0f;
    const float b = 450000.0f / SqrtF(q);
    return b > 255.0f ? 255.0f : b;
}

}  // namespace

void CastPlaneRays(const D3DXMATRIX& rotation, int timeMs, bool ceilingOnly, bool scroll, D3DXVECTOR3 eye,
                   float* gridU, float* gridV, uint8_t* gridShade)
{
    const float drift = scroll ? static_cast<float>(timeMs) * 0.00013234f : 0.0f;
    for (int r = 0; r < kRayGridRows; ++r) {
        for (int c = 0; c < kRayGridColumns; ++c) {
            const D3DXVECTOR3 d = RayGridDirection(rotation, c, r, 0.7f);
            float t;
            if (d.y >= 0.0f)
                t = (350.0f - eye.y) / d.y;
            else if (ceilingOnly)
                t = 0.0f;
            else
                t = (-350.0f - eye.y) / d.y;
            const float hx = eye.x + t * d.x;
            const float hz = eye.z + t * d.z;
            const float q = (hx - eye.x) * (hx - eye.x) + (hz - eye.z) * (hz - eye.z);
            const int entry = RayGridEntry(c, r);
            gridU[entry] = hx * 0.00015f;
            gridV[entry] = scroll ? hz * 0.00015f + drift : hz * 0.00015f;
            gridShade[entry] = static_cast<uint8_t>(PlaneBrightness(q));
        }
    }
}

void E_Planes::Release()
{
    ReleaseRayGrid(grid);
}

const char* E_Planes::Init()
{
    return InitRayGrid(grid, kMessages);
}

const char* E_Planes::Render(IDirect3DTexture8* texture, int timeMs, bool ceilingOnly, bool scroll, bool additive,
                             D3DXVECTOR3 eye)
{
    if (!grid.initialized) return "E_Planes: Not initialized.";
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    CastPlaneRays(RayGridRotation(grid), timeMs, ceilingOnly, scroll, eye, grid.gridU, grid.gridV, grid.gridShade);
    return DrawRayGrid(grid, texture, additive, true, "Planes: Couldn't lock Direct3D vertex buffer.");
}
