// E_Tunnel: intersects 4941 rays with a cylinder every frame and draws the
// grid they shade, texture times the grey of each point.
#include "E_Tunnel.h"

#include "MathHelpers.h"
#include "SharedDevice.h"

#include <cmath>

namespace {

const RayGridMessages kMessages = {
    "E_Tunnel: Couldn't create a Direct3D vertex buffer.",
    "E_Tunnel: Couldn't create a Direct3D index buffer.",
    "E_Tunnel: Couldn't lock Direct3D index buffer.",
};

const float kSquaredRadius = 32.0f;

// The far root of a s^2 + b s + c = 0. A camera outside the tube makes the
// discriminant negative for rays that pass it by, and a ray along the axis
// has a = 0; neither has a wall to show, and neither may put NaN or an
// infinity into the vertices.
bool FarRoot(float a, float b, float c, float* s)
{
    const float discriminant = b * b - 4.0f * a * c;
    if (!(a > 0.0f) || !(discriminant >= 0.0f)) return false;
    *s = (SqrtF(discriminant) - b) / (2.0f * a);
    return std::isfinite(*s);
}

// The squared radius of the wobbling tube at the angle of hit; wobbleSine is
// sin(0.0002 timeMs), the same for the whole frame.
float WobbleRadius(D3DXVECTOR3 hit, float wobbleSine)
{
    const float w = (AbsF(Atan2F(hit.y, hit.x)) + 6.2831855f) * 0.5f * 12.0f;
    const float w2 = w * wobbleSine;
    const float sine = SinF(w2);
    return (0.6f * (sine * sine) + 0.8f) * 30.0f;
}

bool Hit(D3DXVECTOR3 d, D3DXVECTOR3 eye, bool wobble, float wobbleSine, float* s, D3DXVECTOR3* hit)
{
    const float q = eye.x * eye.x + eye.y * eye.y;
    const float k = q - kSquaredRadius;
    const float a = d.x * d.x + d.y * d.y;
    const float b = 2.0f * (eye.x * d.x + eye.y * d.y);
    bool found = FarRoot(a, b, k, s);
    if (found) *hit = D3DXVECTOR3(eye.x + *s * d.x, eye.y + *s * d.y, eye.z + *s * d.z);
    if (found && wobble) {
        found = FarRoot(a, b, q - WobbleRadius(*hit, wobbleSine), s);
        if (found) *hit = D3DXVECTOR3(eye.x + *s * d.x, eye.y + *s * d.y, eye.z + *s * d.z);
    }
    if (!found) {
        *s = 0.0f;
        *hit = eye;
    }
    return found;
}

}  // namespace

bool TunnelHit(D3DXVECTOR3 d, D3DXVECTOR3 eye, int timeMs, bool wobble, float* s, D3DXVECTOR3* hit)
{
    return Hit(d, eye, wobble, SinF(0.0002f * static_cast<float>(timeMs)), s, hit);
}

uint8_t TunnelShade(float s)
{
    // A camera close to the wall would take the byte past 255; it stays white.
    const float b = AbsF(26.0f / s) * 15.0f + 10.0f;
    return b >= 255.0f ? 255 : static_cast<uint8_t>(b);
}

void CastTunnelRays(const D3DXMATRIX& rotation, int timeMs, bool wobble, bool scroll, D3DXVECTOR3 eye,
                    float* gridU, float* gridV, uint8_t* gridShade)
{
    const float time = static_cast<float>(timeMs);
    const float wobbleSine = SinF(0.0002f * time);
    const float drift = scroll ? 9.0f * SinF(time * 0.000083234f) : 0.0f;
    for (int r = 0; r < kRayGridRows; ++r) {
        for (int c = 0; c < kRayGridColumns; ++c) {
            const D3DXVECTOR3 d = RayGridDirection(rotation, c, r, 1.0f);
            float s = 0.0f;
            D3DXVECTOR3 hit;
            const bool found = Hit(d, eye, wobble, wobbleSine, &s, &hit);
            const int entry = RayGridEntry(c, r);
            gridU[entry] = scroll ? hit.z * 0.06f + drift : hit.z * 0.06f;
            gridV[entry] = AbsF(Atan2F(hit.y, hit.x) * 0.7853982f);
            gridShade[entry] = found ? TunnelShade(s) : 0;
        }
    }
}

void E_Tunnel::Release()
{
    ReleaseRayGrid(grid);
}

const char* E_Tunnel::Init()
{
    return InitRayGrid(grid, kMessages);
}

const char* E_Tunnel::Render(IDirect3DTexture8* texture, int timeMs, bool wobble, bool scroll, bool additive,
                             D3DXVECTOR3 eye)
{
    if (!grid.initialized) return "E_Tunnel: Not initialized.";
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    CastTunnelRays(RayGridRotation(grid), timeMs, wobble, scroll, eye, grid.gridU, grid.gridV, grid.gridShade);
    return DrawRayGrid(grid, texture, additive, false, "Tunnel: Couldn't lock Direct3D vertex buffer.");
}
