// P_Part2: the second scene. A ceiling of planes turning overhead; a
// deforming polyhedron under a fading flash; a flight over a flat-shaded
// terrain with an image added over it; and a lit blob the camera closes in on.
#pragma once

#include "P_Part.h"

#include <d3d8.h>
#include <d3dx8.h>

class E_Object;
class E_Particles;
class E_Planes;
class E_Scape;
class Mesh;
class Timer;

class P_Part2 : public P_Part {
public:
    P_Part2();
    ~P_Part2() override;

    const char* Init() override;
    const char* Render(int elapsedMs, float musicSeconds) override;
    void Release() override;

private:
    const char* InitEffects();
    float Seconds();
    bool Within(float start, float end);
    void DrawPolyhedron(int elapsedMs, float m);
    const char* DrawTerrainWindows(int elapsedMs, float m);
    const char* DrawTerrain(D3DXVECTOR3 target, D3DXVECTOR3 eye);
    const char* DrawBlob(int elapsedMs, float m, D3DXVECTOR3 target, D3DXVECTOR3 eye);
    void DrawImage(float level);
    void SetUpParticles(float m);

    bool initialized;
    Timer* timer;
    IDirect3DTexture8* particleTexture;
    IDirect3DTexture8* planeTexture;
    IDirect3DTexture8* hedraTexture;
    IDirect3DTexture8* blobbyTexture;
    IDirect3DTexture8* cyberTexture;
    Mesh* bolMesh;
    Mesh* hedraMesh;
    E_Object* object;
    E_Particles* particles;
    E_Planes* planes;
    E_Scape* scape;
};
