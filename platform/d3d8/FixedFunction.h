// Direct3D 8's fixed-function vertex and pixel processing as GLSL: the
// key of the states that change the program, the uniform block that carries
// the values (matrices, material, lights, colours), and the generator that
// writes one program's source for a key. The back end compiles and caches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fixed_function {

constexpr int kMaxLights = 8;
constexpr int kMaxStages = 2;  // texture stages the programs can combine

// Where a lit vertex takes a material colour from.
enum ColourSource : uint8_t { kFromMaterial = 0, kFromDiffuse = 1, kFromSpecular = 2 };
// Where a stage's texture coordinates come from before the texture matrix.
enum TexCoordSource : uint8_t { kPassThrough = 0, kCameraNormal = 1, kCameraPosition = 2, kCameraReflection = 3 };

struct StageKey {
    uint8_t colourOp;  // D3DTOP_ value; 0 never reaches a program (the cascade stops before it)
    uint8_t colourArg1, colourArg2;  // D3DTA_ values with their modifier bits
    uint8_t alphaOp;
    uint8_t alphaArg1, alphaArg2;
    uint8_t usesTexture;     // the stage samples its texture
    uint8_t texCoordSource;  // TexCoordSource
    uint8_t texCoordSet;     // FVF texture coordinate set for kPassThrough
    uint8_t transformCount;  // 0: no texture matrix, else D3DTTFF_COUNTn
    uint8_t projected;       // D3DTTFF_PROJECTED
};

// Zeroed before it is filled, so equal states give equal bytes.
struct PipelineKey {
    uint8_t pretransformed;  // D3DFVF_XYZRHW: screen coordinates, never lit
    uint8_t hasNormal, hasDiffuse, hasSpecular;
    uint8_t texCoordSets;
    uint8_t lighting;
    uint8_t lightCount;
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;
    uint8_t normalizeNormals, localViewer, specularEnable;
    uint8_t flatShading;
    uint8_t alphaFunc;  // D3DCMP_ value of the alpha test; 0 when the test is off
    uint8_t stageCount;
    StageKey stages[kMaxStages];
};

bool operator==(const PipelineKey& a, const PipelineKey& b);
size_t Hash(const PipelineKey& key);

// std140 layout, mirrored by the block in the generated source. Matrices are
// stored in Direct3D's row-major order; read by GLSL as column-major, M * v
// then computes Direct3D's row-vector product v * M.
struct GpuLight {
    float diffuse[4];
    float specular[4];
    float ambient[4];
    float position[4];     // camera space; w: range
    float direction[4];    // camera space, towards the light's target; w: D3DLIGHTTYPE
    float attenuation[4];  // a0, a1, a2, falloff
    float spot[4];         // cos(theta / 2), cos(phi / 2)
};

struct UniformBlock {
    float worldView[16];
    float projection[16];
    float normalMatrix[16];  // inverse transpose of world-view's 3x3, in a 4x4
    float textureMatrix[kMaxStages][16];
    float materialDiffuse[4];
    float materialAmbient[4];
    float materialSpecular[4];
    float materialEmissive[4];
    float globalAmbient[4];
    float textureFactor[4];
    float viewport[4];  // D3D viewport x, y, width, height in back-buffer pixels
    float misc[4];      // material power, alpha reference (0..255), pixel-centre shift in x and y (NDC)
    GpuLight lights[kMaxLights];
};

// The two dialects of the same programs: desktop OpenGL 3.3, and OpenGL ES
// 3.0 for WebGL 2 (precision qualifiers, and vertex colours read as RGBA
// bytes and swapped back, since ES has no BGRA attribute layout).
enum class Dialect { Glsl330, GlslEs300 };

// Writes the vertex and fragment shader of a key.
void GenerateSource(const PipelineKey& key, std::string& vertexSource, std::string& fragmentSource,
                    Dialect dialect);

}  // namespace fixed_function
