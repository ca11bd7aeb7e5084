// P_Part3: the third scene. A lit mesh drawn eight times over itself like a
// smeared echo under a fading flash, then two tunnels added over each other
// under a second flash, and a fade to black at the end.
#pragma once

#include "P_Part.h"

#include <d3d8.h>

class E_Object;
class E_Tunnel;
class Mesh;
class Timer;

class P_Part3 : public P_Part {
public:
    P_Part3();
    ~P_Part3() override;

    const char* Init() override;
    const char* Render(int elapsedMs, float musicSeconds) override;
    void Release() override;

private:
    const char* DrawTunnels(int elapsedMs, float m);
    const char* DrawEcho(int elapsedMs, float m);
    void DrawOverlays();

    bool initialized;
    Timer* timer;
    IDirect3DTexture8* paddoTexture;
    IDirect3DTexture8* grainfieldTexture;
    IDirect3DTexture8* blaatTexture;
    Mesh* stekelsMesh;
    E_Object* object;
    E_Tunnel* tunnel;
};
