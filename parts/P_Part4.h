// P_Part4: the fourth scene. A wide view over a turning landscape fades in
// from black, a lit deforming object swings into view, a picture is added
// over everything, and the landscape camera rises and backs away.
#pragma once

#include "P_Part.h"

#include <d3d8.h>
#include <d3dx8.h>

class E_Object;
class E_Scape;
class Mesh;
class Timer;

class P_Part4 : public P_Part {
public:
    P_Part4();
    ~P_Part4() override;

    const char* Init() override;
    const char* Render(int elapsedMs, float musicSeconds) override;
    void Release() override;

private:
    const char* InitEffects();
    const char* DrawLandscape(float m, D3DXVECTOR3 eye);
    const char* DrawObject(int elapsedMs, float m, D3DXVECTOR3 target);
    void DrawOverlays();

    bool initialized;
    Timer* timer;
    IDirect3DTexture8* hitekTexture;
    IDirect3DTexture8* kotsTexture;
    IDirect3DTexture8* pictureTexture;
    Mesh* bolMesh;
    E_Scape* scape;
    E_Object* object;
};
