// P_Part5: the last scene. Four spinning particle clouds over a growing
// space picture under a fading flash, a lit blob the camera turns onto, and
// the fade to black that ends the show.
#pragma once

#include "P_Part.h"

#include <d3d8.h>
#include <d3dx8.h>

class E_Object;
class E_Particles;
class Mesh;
class Timer;

class P_Part5 : public P_Part {
public:
    P_Part5();
    ~P_Part5() override;

    const char* Init() override;
    const char* Render(int elapsedMs, float musicSeconds) override;
    void Release() override;

private:
    void DrawSpace();
    void DrawClouds(int elapsedMs, float m, D3DXCOLOR colour);
    void DrawBlob(int elapsedMs, float m, D3DXVECTOR3 target);

    bool initialized;
    Timer* timer;
    IDirect3DTexture8* particleTexture;
    IDirect3DTexture8* hoofdpijnTexture;
    IDirect3DTexture8* space2Texture;
    Mesh* bolMesh;
    Mesh* hedraMesh;
    E_Particles* particles;
    E_Object* object;
};
