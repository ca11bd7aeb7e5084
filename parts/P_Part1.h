// P_Part1: the opening scene. Two growing space backgrounds, two particle
// clouds that cross over, two credit cards and the title card flying in.
#pragma once

#include "P_Part.h"

#include <d3d8.h>

class E_Particles;
class Mesh;
class Timer;

class P_Part1 : public P_Part {
public:
    P_Part1();
    ~P_Part1() override;

    const char* Init() override;
    const char* Render(int elapsedMs, float musicSeconds) override;
    void Release() override;

private:
    bool initialized;
    Timer* timer;
    IDirect3DTexture8* space1Texture;
    IDirect3DTexture8* space2Texture;
    IDirect3DTexture8* cred1Texture;
    IDirect3DTexture8* cred2Texture;
    IDirect3DTexture8* titleTexture;
    IDirect3DTexture8* particleTexture;
    Mesh* bolMesh;
    E_Particles* particles;
};
