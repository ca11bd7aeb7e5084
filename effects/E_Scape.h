// E_Scape: a lit landscape built once from a 64 by 64 ".map" height grid and
// drawn through the caller's perspective camera, lit by one point light at the
// world origin. Owns its vertex and index buffers.
//
// ".map" (raw bytes, no header): 4096 signed 8-bit height samples stored
// column by column: the byte at offset 64 j + i is the sample of grid column
// j (x = j - 32), row i (z = i - 32). Bytes after the first 4096 are ignored.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

#include <cstdint>

class E_Scape {
public:
    E_Scape();
    ~E_Scape();
    E_Scape(const E_Scape&) = delete;
    E_Scape& operator=(const E_Scape&) = delete;

    // Loads path and builds the landscape, each sample divided by
    // heightDivisor (0 is refused). A map that cannot be read gives terrFile.
    const char* Init(const char* path, int heightDivisor);
    const char* Render(IDirect3DTexture8* texture, D3DXVECTOR3 target, D3DXVECTOR3 eye);
    // Frees the buffers and resets the angles, field of view and shading;
    // the loaded heights stay.
    void Release();

    void SetRotationX(float angle) { rotationX = angle; }
    void SetRotationY(float angle) { rotationY = angle; }
    void SetFieldOfView(float angle) { fieldOfView = angle; }
    void EnableFlatShading() { flatShading = true; }

    // The one text Init returns for a map it cannot read. Callers compare the
    // returned pointer with it and give their own message naming the file.
    static const char* const terrFile;

    static const int kSide = 64;
    static const int kSamples = kSide * kSide;

private:
    bool initialized;
    IDirect3DVertexBuffer8* vertexBuffer;
    IDirect3DIndexBuffer8* indexBuffer;
    float rotationX;
    float rotationY;
    float rotationZ;
    float fieldOfView;
    bool flatShading;
    int8_t heights[kSamples];
};

// One vertex of the landscape (FVF 0x112, 32 bytes).
struct ScapeVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// Writes the 4096 vertices of the grid, vertex 64 i + j for row i and column
// j, from samples in file order: x = j - 32, z = i - 32, y = -(sample /
// heightDivisor) (larger samples lie lower; the divisor is not 0), the normal pointing away from
// the origin, the texture mirrored from one cell to the next.
void BuildScapeVertices(const int8_t* samples, int heightDivisor, ScapeVertex* out);
