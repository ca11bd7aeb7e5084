// The maths helpers of the animation code (see MathHelpers.h).
#include "MathHelpers.h"

#include <cmath>

float SinF(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float CosF(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
float Atan2F(float y, float x) { return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x))); }
float SqrtF(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }
float AbsF(float x) { return static_cast<float>(std::fabs(static_cast<double>(x))); }

D3DXVECTOR3 CosineBlend(D3DXVECTOR3 a, D3DXVECTOR3 b, float t)
{
    const float pi = 3.1415927f;
    const float weight = (1.0f - CosF(pi * t)) / 2.0f;
    return D3DXVECTOR3(a.x + (b.x - a.x) * weight, a.y + (b.y - a.y) * weight, a.z + (b.z - a.z) * weight);
}

D3DXCOLOR ExpandColour(D3DCOLOR c)
{
    const float scale = 1.0f / 255.0f;
    return D3DXCOLOR(static_cast<float>((c >> 16) & 255) * scale, static_cast<float>((c >> 8) & 255) * scale,
                     static_cast<float>(c & 255) * scale, static_cast<float>(c >> 24) * scale);
}
