// The two stateless quad drawing functions: a screen-space rectangle for
// pictures, flashes and fades, and a textured card seen in perspective. Both
// clear the depth buffer first and restore every render state they change.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

// 0xAARRGGBB from float channels: 1 or more gives 255, more than 0 gives the
// integer part of c * 255 + 0.5, anything else (NaN included) gives 0.
DWORD PackColour(D3DXCOLOR colour);

// A rectangle at (x, y) (lower-left corner, y up) of width by height, on a
// screen screenWidth by screenHeight units large. A null texture draws the
// colour alone; blend selects alpha blending (alphaBlend) or adding.
void DrawOverlayQuad(IDirect3DTexture8* texture, float screenWidth, float screenHeight, float x, float y,
                     float width, float height, D3DXCOLOR colour, bool blend, bool alphaBlend);

// A 3 by 3 square in the plane z = 1, rotated, seen from eye looking at target,
// tinted by colour and added onto the frame when additive.
void DrawPerspectiveQuad(IDirect3DTexture8* texture, float rotationX, float rotationY, float rotationZ,
                         D3DXVECTOR3 target, D3DXVECTOR3 eye, D3DXCOLOR colour, bool additive);
