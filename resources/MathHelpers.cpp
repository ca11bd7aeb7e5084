// The maths helpers of the animation code (see MathHelpers.h).
#include "MathHelpers.h"

#include <cmath>

namespace math_detail {

double SinCosSlow(double x, int quadrantShift)
{
    return quadrantShift ? std::cos(x) : std::sin(x);
}

}  // namespace math_detail

float Atan2F(float y, float x) { return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x))); }

D3DXVECTOR3 CosineBlend(D3DXVECTOR3 a, D3DXVECTOR3 b, float t)
{
    const float pi = 3.1415927f;
    const float weight = (1.0f - CosF(pi * t)) / 2.0f;
    return D3DXVECTOR3(a.x + (b.x - a.x) * weight, a.y + (b.y - a.y) * weight, a.z + (b.z - a.z) * weight);
}

D3DXMATRIX RotationXYZ(float rotationX, float rotationY, float rotationZ)
{
    D3DXMATRIX rotX, rotY, rotZ, rotation;
    D3DXMatrixRotationX(&rotX, rotationX);
    D3DXMatrixRotationY(&rotY, rotationY);
    D3DXMatrixRotationZ(&rotZ, rotationZ);
    D3DXMatrixMultiply(&rotation, &rotX, &rotY);
    D3DXMatrixMultiply(&rotation, &rotation, &rotZ);
    return rotation;
}

D3DXCOLOR ExpandColour(D3DCOLOR c)
{
    const float scale = 1.0f / 255.0f;
    return D3DXCOLOR(static_cast<float>((c >> 16) & 255) * scale, static_cast<float>((c >> 8) & 255) * scale,
                     static_cast<float>(c & 255) * scale, static_cast<float>(c >> 24) * scale);
}
