// P_Part: the abstract scene. The shell knows scenes only through these four
// operations; each scene owns its textures, meshes, effects and its clock.
#pragma once

class P_Part {
public:
    virtual ~P_Part() {}
    // Loads the scene's resources; null on success, else a static message.
    virtual const char* Init() = 0;
    // Draws one frame; null on success, else a static message.
    virtual const char* Render(int elapsedMs, float musicSeconds) = 0;
    // Frees everything the scene holds; safe at any time.
    virtual void Release() = 0;
};
