// The D3DX 8 matrix and vector functions the demo calls, with D3DX's published
// definitions: row vectors (v' = v * M), left-handed coordinates, and the
// output pointer returned so that calls can be nested. Every function reads
// its inputs completely before writing, so the output may alias an input.
#include <d3dx8.h>

#include <cmath>

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut)
{
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    D3DXMATRIX product;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            product.m[row][col] = pM1->m[row][0] * pM2->m[0][col] + pM1->m[row][1] * pM2->m[1][col] +
                                  pM1->m[row][2] * pM2->m[2][col] + pM1->m[row][3] * pM2->m[3][col];
        }
    }
    *pOut = product;
    return pOut;
}

// The inverse by cofactors (the adjugate over the determinant), worked in
// double so that the well-conditioned matrices of the demo come back to
// within a float's rounding. A singular matrix leaves pOut untouched and
// gives NULL; the determinant is reported either way.
D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM)
{
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = pM->m[i / 4][i % 4];

    // 2x2 minors of the lower two rows and of the upper two rows.
    const double s0 = a[0] * a[5] - a[4] * a[1];
    const double s1 = a[0] * a[6] - a[4] * a[2];
    const double s2 = a[0] * a[7] - a[4] * a[3];
    const double s3 = a[1] * a[6] - a[5] * a[2];
    const double s4 = a[1] * a[7] - a[5] * a[3];
    const double s5 = a[2] * a[7] - a[6] * a[3];
    const double c5 = a[10] * a[15] - a[14] * a[11];
    const double c4 = a[9] * a[15] - a[13] * a[11];
    const double c3 = a[9] * a[14] - a[13] * a[10];
    const double c2 = a[8] * a[15] - a[12] * a[11];
    const double c1 = a[8] * a[14] - a[12] * a[10];
    const double c0 = a[8] * a[13] - a[12] * a[9];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (pDeterminant) *pDeterminant = static_cast<float>(det);
    if (det == 0.0 || !std::isfinite(det)) return nullptr;
    const double k = 1.0 / det;

    const double inv[16] = {
        (a[5] * c5 - a[6] * c4 + a[7] * c3) * k,   (-a[1] * c5 + a[2] * c4 - a[3] * c3) * k,
        (a[13] * s5 - a[14] * s4 + a[15] * s3) * k, (-a[9] * s5 + a[10] * s4 - a[11] * s3) * k,
        (-a[4] * c5 + a[6] * c2 - a[7] * c1) * k,  (a[0] * c5 - a[2] * c2 + a[3] * c1) * k,
        (-a[12] * s5 + a[14] * s2 - a[15] * s1) * k, (a[8] * s5 - a[10] * s2 + a[11] * s1) * k,
        (a[4] * c4 - a[5] * c2 + a[7] * c0) * k,   (-a[0] * c4 + a[1] * c2 - a[3] * c0) * k,
        (a[12] * s4 - a[13] * s2 + a[15] * s0) * k, (-a[8] * s4 + a[9] * s2 - a[11] * s0) * k,
        (-a[4] * c3 + a[5] * c1 - a[6] * c0) * k,  (a[0] * c3 - a[1] * c1 + a[2] * c0) * k,
        (-a[12] * s3 + a[13] * s1 - a[14] * s0) * k, (a[8] * s3 - a[9] * s1 + a[10] * s0) * k,
    };
    for (int i = 0; i < 16; ++i) pOut->m[i / 4][i % 4] = static_cast<float>(inv[i]);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, float Angle)
{
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, float Angle)
{
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, float Angle)
{
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}

namespace {
D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
}  // namespace

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp)
{
    D3DXVECTOR3 zaxis = *pAt - *pEye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis = Cross(*pUp, zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    const D3DXVECTOR3 yaxis = Cross(zaxis, xaxis);
    const D3DXVECTOR3 eye = *pEye;
    *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0,  //
                       xaxis.y, yaxis.y, zaxis.y, 0,  //
                       xaxis.z, yaxis.z, zaxis.z, 0,  //
                       -Dot(xaxis, eye), -Dot(yaxis, eye), -Dot(zaxis, eye), 1);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float Aspect, float zn, float zf)
{
    const float yscale = 1.0f / std::tan(fovy / 2.0f);
    const float xscale = yscale / Aspect;
    *pOut = D3DXMATRIX(xscale, 0, 0, 0,                //
                       0, yscale, 0, 0,                //
                       0, 0, zf / (zf - zn), 1,        //
                       0, 0, -zn * zf / (zf - zn), 0);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn,
                                              float zf)
{
    *pOut = D3DXMATRIX(2.0f / (r - l), 0, 0, 0,         //
                       0, 2.0f / (t - b), 0, 0,         //
                       0, 0, 1.0f / (zf - zn), 0,       //
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return pOut;
}

// A zero vector has no direction and comes back as the zero vector.
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV)
{
    const D3DXVECTOR3 v = *pV;
    const float length = std::sqrt(Dot(v, v));
    *pOut = length == 0.0f ? D3DXVECTOR3(0, 0, 0) : D3DXVECTOR3(v.x / length, v.y / length, v.z / length);
    return pOut;
}

// (x, y, z, 1) * M, projected back by the resulting w. A w of 0 is divided
// by anyway (infinities or NaN), as current D3DX implementations do.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    const D3DXVECTOR3 v = *pV;
    const D3DXMATRIX& m = *pM;
    const float w = v.x * m._14 + v.y * m._24 + v.z * m._34 + m._44;
    *pOut = D3DXVECTOR3((v.x * m._11 + v.y * m._21 + v.z * m._31 + m._41) / w,
                        (v.x * m._12 + v.y * m._22 + v.z * m._32 + m._42) / w,
                        (v.x * m._13 + v.y * m._23 + v.z * m._33 + m._43) / w);
    return pOut;
}
