// The maths helpers of the animation code: single-precision wrappers of the
// C maths functions, the cosine blend of two positions, the rotation of three
// angles and the expansion of a packed 32-bit colour into D3DX's float colour.
#pragma once

#include <d3dx8.h>

#include <cmath>

namespace math_detail {

double SinCosSlow(double x, int quadrantShift);

// sin (quadrantShift 0) or cos (1) of x, computed in double precision for a
// float result: x is reduced by multiples of pi/2 in two parts, then
// FreeBSD's single-precision kernels (relative error below 2^-34 on
// [-pi/4, pi/4], evaluated in double) give a value that rounds to the
// correctly rounded float in all but rare near-ties. The particle system and
// the mesh object evaluate these tens of thousands of times a frame; inline
// and short, they cost a few nanoseconds, and the results do not depend on
// the C library's version.
inline double SinCos(double x, int quadrantShift)
{
    if (!(std::fabs(x) < 1.0e6)) return SinCosSlow(x, quadrantShift);
    // Adding and removing 1.5 * 2^52 rounds to the nearest integer without a library call.
    const double k = (x * 0.63661977236758134308 + 6755399441055744.0) - 6755399441055744.0;
    const double r = (x - k * 1.57079632673412561417e+00) - k * 6.07710050650619224932e-11;
    const double z = r * r;
    const double w = z * z;
    const int quadrant = (static_cast<int>(k) + quadrantShift) & 3;
    double value;
    if (quadrant & 1) {
        value = ((1.0 + z * -0.499999997251031003120) + w * 0.0416666233237390631894) +
                (w * z) * (-0.00138867637746099294692 + z * 0.0000243904487962774090654);
    } else {
        const double s = z * r;
        value = (r + s * (-0.166666666416265235595 + z * 0.0083333293858894631756)) +
                s * w * (-0.000198393348360966317347 + z * 0.0000027183114939898219064);
    }
    return (quadrant & 2) ? -value : value;
}

}  // namespace math_detail

// Each wrapper computes in double precision and rounds the result to a float.
inline float SinF(float x) { return static_cast<float>(math_detail::SinCos(static_cast<double>(x), 0)); }
inline float CosF(float x) { return static_cast<float>(math_detail::SinCos(static_cast<double>(x), 1)); }
float Atan2F(float y, float x);
inline float SqrtF(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }
inline float AbsF(float x) { return std::fabs(x); }

// a + (b - a) * (1 - cos(pi * t)) / 2 per component: a at t = 0, b at t = 1,
// at rest at both ends. t is not clamped: from 1 to 2 it travels back to a,
// and the motion repeats with period 2.
D3DXVECTOR3 CosineBlend(D3DXVECTOR3 a, D3DXVECTOR3 b, float t);

// RotationX * RotationY * RotationZ (X applied first): how three angles
// always combine.
D3DXMATRIX RotationXYZ(float rotationX, float rotationY, float rotationZ);

// 0xAARRGGBB into r, g, b, a floats from 0 to 1 (each byte times 1/255).
D3DXCOLOR ExpandColour(D3DCOLOR c);
