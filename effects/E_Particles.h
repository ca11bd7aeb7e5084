// E_Particles: a cloud of additive sprites, one on every vertex of a source
// mesh, deformed by a time-driven formula, rotated, and placed in front of a
// fixed camera. Owns its vertex and index buffers; borrows the mesh.
#pragma once

#include <d3d8.h>
#include <d3dx8.h>

#include <vector>

class Mesh;

class E_Particles {
public:
    E_Particles();
    ~E_Particles();
    E_Particles(const E_Particles&) = delete;
    E_Particles& operator=(const E_Particles&) = delete;

    const char* Init();
    const char* Render(IDirect3DTexture8* texture, int timeMs, D3DXVECTOR3 placement, D3DXCOLOR colour);
    // Frees the buffers and zeroes the angles; keeps the mesh and the mode.
    void Release();

    // Either setter forgets the deformed points kept from the last draw.
    void SetMesh(const Mesh* source)
    {
        mesh = source;
        deformedValid = false;
    }
    void SetDeformMode(int mode)
    {
        deformMode = mode;
        deformedValid = false;
    }
    void SetRotationX(float angle) { rotationX = angle; }
    void SetRotationY(float angle) { rotationY = angle; }
    void SetRotationZ(float angle) { rotationZ = angle; }

    static const int kMaxParticles = 8000;

private:
    bool initialized;
    IDirect3DVertexBuffer8* vertexBuffer;
    IDirect3DIndexBuffer8* indexBuffer;
    const Mesh* mesh;
    int deformMode;
    float rotationX;
    float rotationY;
    float rotationZ;
    // The mesh's points as deformed at deformedTimeMs, while deformedValid.
    std::vector<D3DXVECTOR3> deformed;
    bool deformedValid;
    int deformedTimeMs;
};

// Writes every vertex of mesh, deformed as at timeMs, into out
// (mesh.vertexCount points).
void DeformParticles(const Mesh& mesh, int deformMode, int timeMs, D3DXVECTOR3* out);

// Writes the four sprite vertices (24 bytes each: position, diffuse, u, v)
// of each of count deformed points into out: rotated by rotation and placed;
// sprites that lie wholly outside the camera's view are left out, the others
// kept in their order. Returns the number of sprites written.
int BuildParticleQuads(const D3DXVECTOR3* points, int count, const D3DXMATRIX& rotation, D3DXVECTOR3 placement,
                       DWORD diffuse, void* out);

// The deformation scale of one vertex at time t (milliseconds as a float),
// and the twist of mode 3; exposed for the tests and the benchmark.
float ParticleScale(int mode, float x, float y, float z, float t);
D3DXVECTOR3 ParticleTwist(D3DXVECTOR3 p, float t);
