// E_Object: one mesh drawn as a solid, optionally textured, environment-
// mapped and lit object with its own camera, its vertices rebuilt every frame
// with one of four time-driven deformations. Owns its vertex and index
// buffers; borrows the mesh.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

class Mesh;

class E_Object {
public:
    E_Object();
    ~E_Object();
    E_Object(const E_Object&) = delete;
    E_Object& operator=(const E_Object&) = delete;

    const char* Init();
    const char* Render(IDirect3DTexture8* texture, int timeMs, D3DXVECTOR3 target, D3DXVECTOR3 eye, bool additive);
    // Frees the buffers and puts every setting back to its constructor value.
    void Release();

    void SetMesh(const Mesh* source) { mesh = source; }
    void SetDeformMode(int mode) { deformMode = mode; }
    void SetRotationX(float angle) { rotationX = angle; }
    void SetRotationY(float angle) { rotationY = angle; }
    void SetRotationZ(float angle) { rotationZ = angle; }
    void DisableCulling() { culling = false; }
    void EnableEnvironmentMap() { environmentMap = true; }
    void EnableLighting() { lighting = true; }

    static const int kMaxVertices = 60000;
    static const int kMaxFaces = 20000;

private:
    bool FillIndices();
    void SetTransforms(D3DXVECTOR3 target, D3DXVECTOR3 eye);
    void SetStates(IDirect3DTexture8* texture, int timeMs, bool additive);
    void RestoreStates(IDirect3DTexture8* texture, bool additive);

    bool initialized;
    IDirect3DVertexBuffer8* vertexBuffer;
    IDirect3DIndexBuffer8* indexBuffer;
    const Mesh* mesh;
    int deformMode;
    float rotationX;
    float rotationY;
    float rotationZ;
    bool culling;
    bool lineMode;
    bool environmentMap;
    bool flatShading;
    bool lighting;
};

// One vertex of the object's buffer (FVF 0x152, 36 bytes).
struct ObjectVertex {
    float x, y, z;
    float nx, ny, nz;
    DWORD diffuse;
    float u, v;
};

// Writes one ObjectVertex for every vertex of mesh into out: deformed by
// deformMode at timeMs, with its normal pointing away from the origin and
// texture coordinates from its position.
void BuildObjectVertices(const Mesh& mesh, int deformMode, int timeMs, void* out);

// The deformation scale of one vertex at time t (milliseconds as a float);
// in mode 1, x, y and z are the coordinates already halved. And the twist of
// mode 3 applied to a scaled position. Exposed for the tests and the benchmark.
float ObjectScale(int mode, float x, float y, float z, float t);
D3DXVECTOR3 ObjectTwist(D3DXVECTOR3 p, float t);
