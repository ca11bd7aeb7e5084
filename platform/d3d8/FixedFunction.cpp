// GLSL source (330, or ES 3.00 for WebGL 2) for Direct3D 8's fixed-function
// pipeline, one program per PipelineKey. Vertex side: transform, the D3D depth range and pixel centres,
// camera-space lighting and texture-coordinate generation. Fragment side: the
// texture stage cascade, specular add and the alpha test. No OpenGL calls.
#include "FixedFunction.h"

#include <d3d8.h>

#include <cstring>

namespace fixed_function {

bool operator==(const PipelineKey& a, const PipelineKey& b)
{
    return std::memcmp(&a, &b, sizeof(PipelineKey)) == 0;
}

size_t Hash(const PipelineKey& key)
{
    // FNV-1a over the key's bytes; the key is zeroed before it is filled.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(PipelineKey); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

namespace {

const char* kUniformBlock = R"(
struct Light {
    vec4 diffuse;
    vec4 specular;
    vec4 ambient;
    vec4 position;
    vec4 direction;
    vec4 attenuation;
    vec4 spot;
};
layout(std140) uniform FixedFunction {
    mat4 worldView;
    mat4 projection;
    mat4 normalMatrix;
    mat4 textureMatrix[2];
    vec4 materialDiffuse;
    vec4 materialAmbient;
    vec4 materialSpecular;
    vec4 materialEmissive;
    vec4 globalAmbient;
    vec4 textureFactor;
    vec4 viewport;
    vec4 misc;
    Light lights[8];
};
)";

std::string Digit(int value)
{
    return std::to_string(value);
}

const char* SourceColour(uint8_t source)
{
    return source == kFromDiffuse ? "inDiffuse" : source == kFromSpecular ? "inSpecular" : nullptr;
}

void AppendLighting(const PipelineKey& key, std::string& s)
{
    const auto colour = [&](uint8_t source, const char* material) {
        const char* vertex = SourceColour(source);
        return std::string(vertex ? vertex : material);
    };
    s += "    vec4 cd = " + colour(key.diffuseSource, "materialDiffuse") + ";\n";
    s += "    vec4 ca = " + colour(key.ambientSource, "materialAmbient") + ";\n";
    s += "    vec4 cs = " + colour(key.specularSource, "materialSpecular") + ";\n";
    s += "    vec4 ce = " + colour(key.emissiveSource, "materialEmissive") + ";\n";
    s += "    vec3 ambientSum = vec3(0.0);\n    vec3 diffuseSum = vec3(0.0);\n    vec3 specularSum = vec3(0.0);\n";
    if (key.lightCount > 0) {
        s += "    for (int i = 0; i < " + Digit(key.lightCount) + "; ++i) {\n";
        s += R"(        vec3 toLight;
        float factor = 1.0;
        int type = int(lights[i].direction.w);
        if (type == 3) {
            toLight = -SafeNormalize(lights[i].direction.xyz);
        } else {
            vec3 offset = lights[i].position.xyz - cameraPosition;
            float dist = length(offset);
            // Beyond its range a light adds nothing, not even ambient.
            if (dist > lights[i].position.w) continue;
            toLight = dist > 0.0 ? offset / dist : vec3(0.0);
            vec4 a = lights[i].attenuation;
            // Kept finite so that a vertex on the light gives a clamped colour, not NaN.
            factor = 1.0 / max(a.x + a.y * dist + a.z * dist * dist, 1e-6);
            if (type == 2) {
                float rho = dot(-toLight, SafeNormalize(lights[i].direction.xyz));
                float cosTheta = lights[i].spot.x;
                float cosPhi = lights[i].spot.y;
                if (rho <= cosPhi) factor = 0.0;
                else if (rho < cosTheta) factor *= pow((rho - cosPhi) / max(cosTheta - cosPhi, 1e-6), a.w);
            }
        }
        ambientSum += lights[i].ambient.rgb * factor;
        float nDotL = max(dot(normal, toLight), 0.0);
        diffuseSum += lights[i].diffuse.rgb * nDotL * factor;
)";
        if (key.specularEnable) {
            s += key.localViewer
                     ? "        vec3 halfway = SafeNormalize(SafeNormalize(-cameraPosition) + toLight);\n"
                     : "        vec3 halfway = SafeNormalize(vec3(0.0, 0.0, 1.0) + toLight);\n";
            s += "        float nDotH = max(dot(normal, halfway), 0.0);\n";
            s += "        float shine = misc.x > 0.0 ? pow(nDotH, misc.x) : 1.0;\n";
            s += "        specularSum += lights[i].specular.rgb * shine * factor;\n";
        }
        s += "    }\n";
    }
    s += "    vDiffuse = vec4(clamp(ce.rgb + ca.rgb * (globalAmbient.rgb + ambientSum) + cd.rgb * diffuseSum, 0.0, 1.0),"
         " clamp(cd.a, 0.0, 1.0));\n";
    s += "    vSpecular = vec4(clamp(cs.rgb * specularSum, 0.0, 1.0), clamp(cs.a, 0.0, 1.0));\n";
}

void AppendTexCoord(const PipelineKey& key, int stageIndex, std::string& s)
{
    const StageKey& stage = key.stages[stageIndex];
    const std::string name = "vTexCoord" + Digit(stageIndex);
    std::string input;
    switch (stage.texCoordSource) {
    case kCameraNormal: input = "vec4(normal, 1.0)"; break;
    case kCameraPosition: input = "vec4(cameraPosition, 1.0)"; break;
    case kCameraReflection:
        input = key.localViewer ? "vec4(reflect(SafeNormalize(cameraPosition), normal), 1.0)"
                                : "vec4(reflect(vec3(0.0, 0.0, 1.0), normal), 1.0)";
        break;
    default:
        // A two-component set enters the texture matrix as (u, v, 1, 0), so
        // the matrix's third row translates it.
        if (stage.texCoordSet < key.texCoordSets)
            input = "vec4(inTexCoord" + Digit(stage.texCoordSet) + ", 1.0, 0.0)";
        else
            input = "vec4(0.0, 0.0, 1.0, 0.0)";
        break;
    }
    if (stage.transformCount > 0) input = "textureMatrix[" + Digit(stageIndex) + "] * " + input;
    s += "    " + name + " = " + input + ";\n";
}

const char* Preamble(Dialect dialect)
{
    return dialect == Dialect::GlslEs300 ? "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                                         : "#version 330 core\n";
}

std::string VertexSource(const PipelineKey& key, Dialect dialect)
{
    const char* flat = key.flatShading ? "flat " : "";
    const bool es = dialect == Dialect::GlslEs300;
    std::string s = Preamble(dialect);
    s += kUniformBlock;
    s += "layout(location = 0) in vec4 inPosition;\n";
    if (key.hasNormal) s += "layout(location = 1) in vec3 inNormal;\n";
    if (key.hasDiffuse) s += es ? "layout(location = 2) in vec4 inDiffuseBytes;\n" : "layout(location = 2) in vec4 inDiffuse;\n";
    if (key.hasSpecular) s += es ? "layout(location = 3) in vec4 inSpecularBytes;\n" : "layout(location = 3) in vec4 inSpecular;\n";
    for (int i = 0; i < key.texCoordSets; ++i)
        s += "layout(location = " + Digit(4 + i) + ") in vec2 inTexCoord" + Digit(i) + ";\n";
    s += std::string(flat) + "out vec4 vDiffuse;\n" + flat + "out vec4 vSpecular;\n";
    for (int i = 0; i < key.stageCount; ++i)
        if (key.stages[i].usesTexture) s += "out vec4 vTexCoord" + Digit(i) + ";\n";
    s += "vec3 SafeNormalize(vec3 v) { float l = length(v); return l > 0.0 ? v / l : v; }\n";
    s += "void main() {\n";
    // D3DCOLOR's bytes are B, G, R, A: read as RGBA, red and blue swap back.
    if (es && key.hasDiffuse) s += "    vec4 inDiffuse = inDiffuseBytes.bgra;\n";
    if (es && key.hasSpecular) s += "    vec4 inSpecular = inSpecularBytes.bgra;\n";
    if (key.pretransformed) {
        // Screen coordinates of the back buffer: only the viewport mapping,
        // the half-pixel shift and the depth range are undone.
        s += R"(    float w = 1.0 / inPosition.w;
    vec2 ndc = vec2((inPosition.x - viewport.x) / viewport.z * 2.0 - 1.0 + misc.z,
                    1.0 - (inPosition.y - viewport.y) / viewport.w * 2.0 - misc.w);
    gl_Position = vec4(ndc * w, (2.0 * inPosition.z - 1.0) * w, w);
    vec3 cameraPosition = vec3(0.0);
    vec3 normal = vec3(0.0);
)";
    } else {
        // Direct3D clips depth to 0..w where OpenGL clips to -w..w, and puts
        // pixel centres on integer coordinates where OpenGL puts them at .5:
        // remap z and shift right and down by (a hair under) half a pixel.
        s += R"(    vec4 eyePosition = worldView * vec4(inPosition.xyz, 1.0);
    vec3 cameraPosition = eyePosition.xyz;
    vec4 clip = projection * eyePosition;
    clip.z = 2.0 * clip.z - clip.w;
    clip.x += clip.w * misc.z;
    clip.y -= clip.w * misc.w;
    gl_Position = clip;
)";
        s += key.hasNormal ? "    vec3 normal = mat3(normalMatrix) * inNormal;\n" : "    vec3 normal = vec3(0.0);\n";
        if (key.normalizeNormals) s += "    normal = SafeNormalize(normal);\n";
    }
    if (key.lighting) {
        AppendLighting(key, s);
    } else {
        s += key.hasDiffuse ? "    vDiffuse = inDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        s += key.hasSpecular ? "    vSpecular = inSpecular;\n" : "    vSpecular = vec4(0.0);\n";
    }
    for (int i = 0; i < key.stageCount; ++i)
        if (key.stages[i].usesTexture) AppendTexCoord(key, i, s);
    s += "}\n";
    return s;
}

std::string Argument(uint8_t arg)
{
    std::string value;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_CURRENT: value = "current"; break;
    case D3DTA_TEXTURE: value = "texel"; break;
    case D3DTA_TFACTOR: value = "textureFactor"; break;
    case D3DTA_SPECULAR: value = "specular"; break;
    default: value = "diffuse"; break;
    }
    if (arg & D3DTA_ALPHAREPLICATE) value = "vec4(" + value + ".a)";
    if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
    return value;
}

// One stage operation on the .rgb or .a parts of its two arguments.
std::string Operation(uint8_t op, const std::string& a1, const std::string& a2, const char* previous)
{
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 + " * " + a2;
    case D3DTOP_MODULATE2X: return a1 + " * " + a2 + " * 2.0";
    case D3DTOP_MODULATE4X: return a1 + " * " + a2 + " * 4.0";
    case D3DTOP_ADD: return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "(" + a1 + " + " + a2 + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT: return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", texel.a)";
    default: return previous;  // D3DTOP_DISABLE for alpha: current alpha passes through
    }
}

const char* Comparison(uint8_t func)
{
    switch (func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return "alpha < reference";
    case D3DCMP_EQUAL: return "alpha == reference";
    case D3DCMP_LESSEQUAL: return "alpha <= reference";
    case D3DCMP_GREATER: return "alpha > reference";
    case D3DCMP_NOTEQUAL: return "alpha != reference";
    case D3DCMP_GREATEREQUAL: return "alpha >= reference";
    default: return "true";
    }
}

std::string FragmentSource(const PipelineKey& key, Dialect dialect)
{
    const char* flat = key.flatShading ? "flat " : "";
    std::string s = Preamble(dialect);
    s += kUniformBlock;
    s += std::string(flat) + "in vec4 vDiffuse;\n" + flat + "in vec4 vSpecular;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        if (!key.stages[i].usesTexture) continue;
        s += "in vec4 vTexCoord" + Digit(i) + ";\n";
        s += "uniform sampler2D texture" + Digit(i) + ";\n";
    }
    s += "out vec4 fragColour;\n";
    s += "void main() {\n    vec4 diffuse = vDiffuse;\n    vec4 specular = vSpecular;\n    vec4 current = diffuse;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        const StageKey& stage = key.stages[i];
        s += "    {\n";
        if (stage.usesTexture) {
            const std::string coord = "vTexCoord" + Digit(i);
            std::string uv = coord + ".xy";
            if (stage.projected && stage.transformCount > 1)
                uv = "(" + coord + ".xy / " + coord + "[" + Digit(stage.transformCount - 1) + "])";
            s += "        vec4 texel = texture(texture" + Digit(i) + ", " + uv + ");\n";
        }
        const std::string c1 = Argument(stage.colourArg1) + ".rgb";
        const std::string c2 = Argument(stage.colourArg2) + ".rgb";
        const std::string alpha1 = Argument(stage.alphaArg1) + ".a";
        const std::string alpha2 = Argument(stage.alphaArg2) + ".a";
        s += "        vec3 colour = " + Operation(stage.colourOp, c1, c2, "current.rgb") + ";\n";
        s += "        float alpha = " + Operation(stage.alphaOp, alpha1, alpha2, "current.a") + ";\n";
        s += "        current = clamp(vec4(colour, alpha), 0.0, 1.0);\n    }\n";
    }
    if (key.specularEnable) s += "    current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
    if (key.alphaFunc != 0) {
        // Direct3D compares the 8-bit alpha with the 8-bit reference.
        s += "    int alpha = int(current.a * 255.0 + 0.5);\n    int reference = int(misc.y);\n";
        s += std::string("    if (!(") + Comparison(key.alphaFunc) + ")) discard;\n";
    }
    s += "    fragColour = current;\n}\n";
    return s;
}

}  // namespace

void GenerateSource(const PipelineKey& key, std::string& vertexSource, std::string& fragmentSource, Dialect dialect)
{
    vertexSource = VertexSource(key, dialect);
    fragmentSource = FragmentSource(key, dialect);
}

}  // namespace fixed_function
