// The maths helpers of the animation code: single-precision wrappers of the
// C maths functions, the cosine blend of two positions and the expansion of a
// packed 32-bit colour into D3DX's float colour.
#pragma once

#include <d3dx8.h>

// Each wrapper computes in double precision and rounds the result to a float.
float SinF(float x);
float CosF(float x);
float Atan2F(float y, float x);
float SqrtF(float x);
float AbsF(float x);

// a + (b - a) * (1 - cos(pi * t)) / 2 per component: a at t = 0, b at t = 1,
// at rest at both ends. t is not clamped: from 1 to 2 it travels back to a,
// and the motion repeats with period 2.
D3DXVECTOR3 CosineBlend(D3DXVECTOR3 a, D3DXVECTOR3 b, float t);

// 0xAARRGGBB into r, g, b, a floats from 0 to 1 (each byte times 1/255).
D3DXCOLOR ExpandColour(D3DCOLOR c);
