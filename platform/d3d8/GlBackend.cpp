// The OpenGL side of the Direct3D stand-in; no other file calls gl*. The
// device hands it plain descriptions (targets, buffers, textures, draw calls)
// and it turns them into GL calls, skipping state that is already set.
// Direct3D conventions that need GL state live here: clockwise front faces,
// the first vertex as the provoking vertex for flat shading, point sampling
// and wrap addressing as samplers, texture formats as Direct3D lays them out.
#include "GlBackend.h"

// The side's OpenGL (native/ or web/): its header, and its shaders' dialect.
#include "GlApi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <utility>

// EXT_texture_filter_anisotropic, where the side's header lacks its names.
#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#define GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT 0x84FF
#endif

namespace gl_backend {

namespace {

using fixed_function::kMaxStages;
using fixed_function::PipelineKey;

struct KeyHash {
    size_t operator()(const PipelineKey& key) const { return fixed_function::Hash(key); }
};

constexpr GLuint kUniformBinding = 0;
constexpr size_t kStreamBytes = 4u << 20;
constexpr int kAttributes = 6;  // position, normal, diffuse, specular, two texture coordinate sets

// The GL state the back end last set; -1 / ~0 mean "unknown".
struct StateCache {
    GLuint drawFramebuffer = ~0u;
    Rect viewport{-1, -1, -1, -1};
    float minZ = -1.0f, maxZ = -1.0f;
    int blend = -1;
    GLenum sourceBlend = 0, destBlend = 0, blendEquation = 0;
    int depthTest = -1, depthWrite = -1;
    GLenum depthFunc = 0;
    int cull = -1;
    GLenum cullFace = 0;
    GLenum polygonMode = 0;
    uint32_t colourMask = ~0u;
    GLuint program = ~0u;
    int activeUnit = -1;
    GLuint textures[kMaxStages] = {~0u, ~0u};
    GLuint samplers[kMaxStages] = {~0u, ~0u};
    GLuint arrayBuffer = ~0u;
    GLuint elementBuffer = ~0u;
    bool attributeEnabled[kAttributes] = {};
    // The attribute layout last set: buffer, byte offset, format and stride.
    GLuint layoutBuffer = ~0u;
    size_t layoutOffset = ~size_t(0);
    uint32_t layoutFvf = ~0u, layoutStride = ~0u;
};

struct Program {
    GLuint name = 0;
    bool valid = false;
};

// A read-back on its way: the target it is read from and the fence after
// the frame drawn into it.
struct PendingRead {
    GLuint framebuffer = 0;
    GLsync fence = nullptr;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // the picture, once read (OpenGL ES: at once)
};

struct Backend {
    bool initialised = false;
    bool usable = false;
    GLuint vertexArray = 0;
    GLuint uniformBuffer = 0;
    uint64_t uniformsVersion = ~0ull;
    GLuint streamBuffer = 0;
    size_t streamBytes = 0;
    size_t streamOffset = 0;
    StateCache cache;
    std::unordered_map<PipelineKey, Program, KeyHash> programs;
    std::vector<std::pair<SamplerState, GLuint>> samplers;
    std::deque<GLsync> framesInFlight;  // one fence a presented frame, oldest first
    std::deque<PendingRead> reads;       // queued read-backs, oldest first
    bool flatFromLastVertex = false;     // the context's flat shading takes the last vertex
    GLuint turnedIndexBuffer = 0;        // triangle indices turned round for that rule
    std::vector<uint8_t> turnedIndices;
    // Counting the pixels that draws fill: one samples-passed query a frame.
    bool countPixels = false;
    GLuint frameQuery = 0;               // the query of the frame being drawn, 0 when none
    std::deque<GLuint> pendingQueries;   // ended, result not taken yet
    uint64_t pixelsCounted = 0;
    uint64_t framesCounted = 0;
    // Textures whose smaller levels the back end makes: the texture and its last uploaded level.
    std::unordered_map<GLuint, int> completedChains;
    float maxAnisotropy = 0.0f;  // 0: not asked yet
    // Reducing a larger or multisampled picture: the program, its uniforms'
    // locations, and the multisampled picture resolved at its own size.
    GLuint reduceProgram = 0;
    GLint reduceFrom = -1, reduceTo = -1, reduceFactor = -1;
    Target resolved;
};

Backend& State()
{
    static Backend backend;
    return backend;
}

void BindDrawFramebuffer(GLuint framebuffer)
{
    StateCache& cache = State().cache;
    if (cache.drawFramebuffer != framebuffer) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        cache.drawFramebuffer = framebuffer;
    }
}

void BindArrayBuffer(GLuint buffer)
{
    StateCache& cache = State().cache;
    if (cache.arrayBuffer != buffer) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        cache.arrayBuffer = buffer;
    }
}

void BindElementBuffer(GLuint buffer)
{
    StateCache& cache = State().cache;
    if (cache.elementBuffer != buffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        cache.elementBuffer = buffer;
    }
}

GLenum BlendFactor(uint32_t d3dBlend)
{
    switch (d3dBlend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum BlendEquation(uint32_t d3dBlendOp)
{
    switch (d3dBlendOp) {
    case 2: return GL_FUNC_SUBTRACT;
    case 3: return GL_FUNC_REVERSE_SUBTRACT;
    case 4: return GL_MIN;
    case 5: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum CompareFunc(uint32_t d3dCmp)
{
    switch (d3dCmp) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum PrimitiveMode(uint32_t primitive)
{
    switch (primitive) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

GLenum AddressMode(uint32_t address)
{
    switch (address) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
#ifdef BRALMOND_GLES
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_EDGE;  // OpenGL ES 3.0 has no border
#else
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
#endif
    default: return GL_REPEAT;
    }
}

void ColourToFloats(uint32_t argb, float out[4])
{
    out[0] = static_cast<float>((argb >> 16) & 0xff) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xff) / 255.0f;
    out[2] = static_cast<float>(argb & 0xff) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xff) / 255.0f;
}

GLuint Sampler(const SamplerState& state)
{
    Backend& backend = State();
    for (const auto& entry : backend.samplers)
        if (std::memcmp(&entry.first, &state, sizeof(SamplerState)) == 0) return entry.second;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    const bool linearMin = state.minFilter >= D3DTEXF_LINEAR;
    GLenum minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
    // Without a mip filter Direct3D samples the top level only.
    if (state.mipFilter == D3DTEXF_POINT)
        minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (state.mipFilter >= D3DTEXF_LINEAR)
        minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, state.magFilter >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(state.addressU)));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(state.addressV)));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(state.maxMipLevel));
    if (state.maxAnisotropy > 1 && MaxAnisotropy() > 1.0f)
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                            std::min(static_cast<float>(state.maxAnisotropy), MaxAnisotropy()));
#ifndef BRALMOND_GLES
    float border[4];
    ColourToFloats(state.borderColour, border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
#endif
    backend.samplers.emplace_back(state, sampler);
    return sampler;
}

GLuint CompileShader(GLenum type, const std::string& source)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
        std::fprintf(stderr, "d3d8: a %s shader failed to compile:\n%s\n%s\n",
                     type == GL_VERTEX_SHADER ? "vertex" : "fragment", log, text);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Compiles and links a program from its two sources; 0, with the reason on
// stderr, when either fails. `what` names it in the messages.
GLuint LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, const char* what)
{
    GLuint vertexShader = CompileShader(GL_VERTEX_SHADER, vertexSource);
    GLuint fragmentShader = CompileShader(GL_FRAGMENT_SHADER, fragmentSource);
    if (!vertexShader || !fragmentShader) {
        if (vertexShader) glDeleteShader(vertexShader);
        if (fragmentShader) glDeleteShader(fragmentShader);
        return 0;
    }
    GLuint name = glCreateProgram();
    glAttachShader(name, vertexShader);
    glAttachShader(name, fragmentShader);
    glLinkProgram(name);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint ok = 0;
    glGetProgramiv(name, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetProgramInfoLog(name, sizeof(log), nullptr, log);
        std::fprintf(stderr, "d3d8: %s program failed to link:\n%s\n", what, log);
        glDeleteProgram(name);
        return 0;
    }
    return name;
}

Program BuildProgram(const PipelineKey& key)
{
    std::string vertexSource, fragmentSource;
    fixed_function::GenerateSource(key, vertexSource, fragmentSource, gl_api::kDialect);
    Program program;
    const GLuint name = LinkProgram(vertexSource, fragmentSource, "fixed-function");
    if (!name) return program;
    GLuint block = glGetUniformBlockIndex(name, "FixedFunction");
    if (block != GL_INVALID_INDEX) glUniformBlockBinding(name, block, kUniformBinding);
    glUseProgram(name);
    State().cache.program = name;
    for (int stage = 0; stage < kMaxStages; ++stage) {
        const std::string sampler = "texture" + std::to_string(stage);
        GLint location = glGetUniformLocation(name, sampler.c_str());
        if (location >= 0) glUniform1i(location, stage);
    }
    program.name = name;
    program.valid = true;
    return program;
}

const Program& ProgramFor(const PipelineKey& key)
{
    Backend& backend = State();
    auto found = backend.programs.find(key);
    if (found != backend.programs.end()) return found->second;
    return backend.programs.emplace(key, BuildProgram(key)).first->second;
}

void ApplyRaster(const RasterState& raster)
{
    StateCache& cache = State().cache;
    const Rect& v = raster.viewport;
    if (v.x != cache.viewport.x || v.y != cache.viewport.y || v.width != cache.viewport.width ||
        v.height != cache.viewport.height) {
        glViewport(v.x, v.y, v.width, v.height);
        cache.viewport = v;
    }
    if (raster.minZ != cache.minZ || raster.maxZ != cache.maxZ) {
#ifdef BRALMOND_GLES
        glDepthRangef(raster.minZ, raster.maxZ);
#else
        glDepthRange(raster.minZ, raster.maxZ);
#endif
        cache.minZ = raster.minZ;
        cache.maxZ = raster.maxZ;
    }
    if (static_cast<int>(raster.blend) != cache.blend) {
        raster.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        cache.blend = raster.blend;
    }
    if (raster.blend) {
        const GLenum source = BlendFactor(raster.sourceBlend), dest = BlendFactor(raster.destBlend);
        if (source != cache.sourceBlend || dest != cache.destBlend) {
            glBlendFunc(source, dest);
            cache.sourceBlend = source;
            cache.destBlend = dest;
        }
        const GLenum equation = BlendEquation(raster.blendOp);
        if (equation != cache.blendEquation) {
            glBlendEquation(equation);
            cache.blendEquation = equation;
        }
    }
    if (static_cast<int>(raster.depthTest) != cache.depthTest) {
        raster.depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        cache.depthTest = raster.depthTest;
    }
    const GLenum depthFunc = CompareFunc(raster.depthFunc);
    if (depthFunc != cache.depthFunc) {
        glDepthFunc(depthFunc);
        cache.depthFunc = depthFunc;
    }
    if (static_cast<int>(raster.depthWrite) != cache.depthWrite) {
        glDepthMask(raster.depthWrite ? GL_TRUE : GL_FALSE);
        cache.depthWrite = raster.depthWrite;
    }
    // Front faces are clockwise on screen (glFrontFace(GL_CW) at start-up);
    // D3DCULL_CCW culls the counter-clockwise ones, the GL back faces.
    const bool cull = raster.cullMode == D3DCULL_CW || raster.cullMode == D3DCULL_CCW;
    if (static_cast<int>(cull) != cache.cull) {
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        cache.cull = cull;
    }
    if (cull) {
        const GLenum face = raster.cullMode == D3DCULL_CCW ? GL_BACK : GL_FRONT;
        if (face != cache.cullFace) {
            glCullFace(face);
            cache.cullFace = face;
        }
    }
#ifndef BRALMOND_GLES  // OpenGL ES fills polygons only; the show fills only
    const GLenum polygonMode =
        raster.fillMode == D3DFILL_POINT ? GL_POINT : raster.fillMode == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
    if (polygonMode != cache.polygonMode) {
        glPolygonMode(GL_FRONT_AND_BACK, polygonMode);
        cache.polygonMode = polygonMode;
    }
#endif
    if (raster.colourWriteMask != cache.colourMask) {
        const uint32_t m = raster.colourWriteMask;
        // D3DCOLORWRITEENABLE_RED 1, GREEN 2, BLUE 4, ALPHA 8.
        glColorMask((m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0);
        cache.colourMask = m;
    }
}

void EnableAttribute(int index, bool enable)
{
    StateCache& cache = State().cache;
    if (cache.attributeEnabled[index] == enable) return;
    enable ? glEnableVertexAttribArray(static_cast<GLuint>(index))
           : glDisableVertexAttribArray(static_cast<GLuint>(index));
    cache.attributeEnabled[index] = enable;
}

// Points the attributes at the vertex layout of an FVF code in `buffer`
// starting at byte `offset`.
void ApplyLayout(GLuint buffer, size_t offset, uint32_t fvf, uint32_t stride)
{
    StateCache& cache = State().cache;
    if (cache.layoutBuffer == buffer && cache.layoutOffset == offset && cache.layoutFvf == fvf &&
        cache.layoutStride == stride)
        return;
    BindArrayBuffer(buffer);
    const auto pointer = [&](size_t at) { return reinterpret_cast<const void*>(offset + at); };
    const GLsizei s = static_cast<GLsizei>(stride);
    size_t at = 0;
    const bool rhw = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    glVertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, s, pointer(at));
    EnableAttribute(0, true);
    at += rhw ? 16 : 12;
    const bool normal = (fvf & D3DFVF_NORMAL) != 0;
    if (normal) glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, s, pointer(at));
    EnableAttribute(1, normal);
    at += normal ? 12 : 0;
    at += (fvf & D3DFVF_PSIZE) ? 4 : 0;
    // D3DCOLOR is a 32-bit 0xAARRGGBB word: bytes B, G, R, A in memory.
    // OpenGL reads them in that order (GL_BGRA); OpenGL ES reads them as
    // RGBA and the program swaps red and blue.
#ifdef BRALMOND_GLES
    const GLint colourSize = 4;
#else
    const GLint colourSize = GL_BGRA;
#endif
    const bool diffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    if (diffuse) glVertexAttribPointer(2, colourSize, GL_UNSIGNED_BYTE, GL_TRUE, s, pointer(at));
    EnableAttribute(2, diffuse);
    at += diffuse ? 4 : 0;
    const bool specular = (fvf & D3DFVF_SPECULAR) != 0;
    if (specular) glVertexAttribPointer(3, colourSize, GL_UNSIGNED_BYTE, GL_TRUE, s, pointer(at));
    EnableAttribute(3, specular);
    at += specular ? 4 : 0;
    const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (uint32_t set = 0; set < 2; ++set) {
        const bool present = set < sets;
        if (present) glVertexAttribPointer(4 + set, 2, GL_FLOAT, GL_FALSE, s, pointer(at));
        EnableAttribute(4 + static_cast<int>(set), present);
        at += present ? 8 : 0;
    }
    cache.layoutBuffer = buffer;
    cache.layoutOffset = offset;
    cache.layoutFvf = fvf;
    cache.layoutStride = stride;
}

// Copies user vertices into the streaming buffer; returns their byte offset.
size_t StreamVertices(const void* data, size_t bytes, uint32_t stride)
{
    Backend& backend = State();
    BindArrayBuffer(backend.streamBuffer);
    if (bytes > backend.streamBytes) {
        backend.streamBytes = bytes * 2;
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(backend.streamBytes), nullptr, GL_STREAM_DRAW);
        backend.streamOffset = 0;
        backend.cache.layoutBuffer = ~0u;
    }
    // Start each batch on a whole vertex so that unchanged layouts stay valid.
    size_t offset = (backend.streamOffset + stride - 1) / stride * stride;
    if (offset + bytes > backend.streamBytes) {
        // Orphan the storage: the GL keeps the old copy for draws in flight.
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(backend.streamBytes), nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
    backend.streamOffset = offset + bytes;
    return offset;
}

struct TexelFormat {
    GLenum format, type;
    bool opaque;  // alpha reads as 1
};

TexelFormat TexelFormatOf(D3DFORMAT format)
{
#ifdef BRALMOND_GLES
    // OpenGL ES takes none of Direct3D's packed layouts: every format is
    // converted to RGBA bytes on upload (TexelsAsRgba).
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4: return {GL_RGBA, GL_UNSIGNED_BYTE, false};
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5: return {GL_RGBA, GL_UNSIGNED_BYTE, true};
    default: return {0, 0, false};
    }
#else
    switch (format) {
    case D3DFMT_A8R8G8B8: return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    case D3DFMT_X8R8G8B8: return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true};
    case D3DFMT_R5G6B5: return {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, true};
    case D3DFMT_A1R5G5B5: return {GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case D3DFMT_X1R5G5B5: return {GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true};
    case D3DFMT_A4R4G4B4: return {GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    default: return {0, 0, false};
    }
#endif
}

void SelectUnit(int unit)
{
    StateCache& cache = State().cache;
    if (cache.activeUnit == unit) return;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    cache.activeUnit = unit;
}

void BindTexture(int unit, GLuint texture)
{
    StateCache& cache = State().cache;
    if (cache.textures[unit] == texture) return;
    SelectUnit(unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    cache.textures[unit] = texture;
}

// Binds a texture to unit 0 and makes that unit active, for texture edits.
void EditTexture(GLuint texture)
{
    BindTexture(0, texture);
    SelectUnit(0);
}

void BindSampler(int unit, GLuint sampler)
{
    StateCache& cache = State().cache;
    if (cache.samplers[unit] == sampler) return;
    glBindSampler(static_cast<GLuint>(unit), sampler);
    cache.samplers[unit] = sampler;
}

}  // namespace

bool Initialise()
{
    Backend& backend = State();
    if (backend.initialised) return backend.usable;
    backend.initialised = true;
#ifndef BRALMOND_GLES  // WebGL 2 is asked for by the context and is always OpenGL ES 3.0
    const int version = epoxy_gl_version();
    if (version < 33 || !epoxy_is_desktop_gl()) {
        std::fprintf(stderr, "d3d8: OpenGL 3.3 core is needed, the context offers %d.%d\n", version / 10,
                     version % 10);
        return false;
    }
#endif
    glGenVertexArrays(1, &backend.vertexArray);
    glBindVertexArray(backend.vertexArray);
    glGenBuffers(1, &backend.uniformBuffer);
    glBindBuffer(GL_UNIFORM_BUFFER, backend.uniformBuffer);
    glBufferData(GL_UNIFORM_BUFFER, sizeof(fixed_function::UniformBlock), nullptr, GL_DYNAMIC_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, kUniformBinding, backend.uniformBuffer);
    glGenBuffers(1, &backend.streamBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, backend.streamBuffer);
    backend.streamBytes = kStreamBytes;
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(kStreamBytes), nullptr, GL_STREAM_DRAW);
    backend.cache.arrayBuffer = backend.streamBuffer;
    // Direct3D: clockwise front faces, flat shading from the first vertex.
    glFrontFace(GL_CW);
#ifndef BRALMOND_GLES  // in a browser the context sets it (WEBGL_provoking_vertex)
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
#endif
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    backend.usable = glGetError() == GL_NO_ERROR;
    if (!backend.usable) std::fprintf(stderr, "d3d8: setting up the OpenGL back end failed\n");
    return backend.usable;
}

// Errors left by earlier calls are taken first, so that the check after a
// creation reports that creation's failure and nothing else.
static void DiscardStaleErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

namespace {

// The colour buffer and framebuffer of a target, over the given depth
// buffer; the whole target starts black, bars included.
bool FinishTarget(Target& target)
{
    DiscardStaleErrors();
    if (target.samples > 0) {
        glGenRenderbuffers(1, &target.colour);
        glBindRenderbuffer(GL_RENDERBUFFER, target.colour);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, target.samples, GL_RGBA8, target.width, target.height);
    } else {
        glGenTextures(1, &target.colour);
        EditTexture(target.colour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, target.width, target.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    glGenFramebuffers(1, &target.framebuffer);
    BindDrawFramebuffer(target.framebuffer);
    if (target.samples > 0)
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour);
    else
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.colour, 0);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    const bool complete =
        glGetError() == GL_NO_ERROR && glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (!complete) {
        std::fprintf(stderr, "d3d8: the %dx%d offscreen target%s is incomplete\n", target.width, target.height,
                     target.samples > 0 ? " with multisampling" : "");
        DestroyTarget(target);
        return false;
    }
    Rect all{0, 0, target.width, target.height};
    Clear(target, &all, 1, true, 0xff000000u, target.ownsDepth && target.depth, 1.0f);
    return true;
}

}  // namespace

bool CreateTarget(Target& target, int width, int height, int samples)
{
    target = Target{};
    target.width = width;
    target.height = height;
    target.samples = samples;
    glGenRenderbuffers(1, &target.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    if (samples > 0)
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT16, width, height);
    else
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
    return FinishTarget(target);
}

bool CreateTargetSharingDepth(Target& target, const Target& depthOf)
{
    target = Target{};
    target.width = depthOf.width;
    target.height = depthOf.height;
    target.depth = depthOf.depth;
    target.ownsDepth = false;
    target.samples = depthOf.samples;
    return FinishTarget(target);
}

void CopyColour(const Target& from, const Target& to)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from.framebuffer);
    BindDrawFramebuffer(to.framebuffer);
    glBlitFramebuffer(0, 0, from.width, from.height, 0, 0, to.width, to.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

int MaxSamples()
{
    GLint samples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &samples);
    return samples;
}

int MaxTargetSide()
{
    GLint texture = 0, renderbuffer = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    return std::min(texture, renderbuffer);
}

float MaxAnisotropy()
{
    Backend& backend = State();
    if (backend.maxAnisotropy == 0.0f) {
        // Without the extension the query is refused and the value stays 1.
        DiscardStaleErrors();
        GLfloat most = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
        backend.maxAnisotropy = glGetError() == GL_NO_ERROR && most > 1.0f ? most : 1.0f;
        // Mesa's software renderer offers anisotropy, but its anisotropic
        // sampler never finishes some of the show's draws (the polyhedra of
        // the second scene hang it): there it counts as having none.
        const GLubyte* renderer = glGetString(GL_RENDERER);
        if (renderer && std::strstr(reinterpret_cast<const char*>(renderer), "llvmpipe")) backend.maxAnisotropy = 1.0f;
    }
    return backend.maxAnisotropy;
}

namespace {

// The reducing program: a triangle over the viewport whose every pixel is
// the mean of the factor by factor texels of the larger picture over it.
bool ReduceProgram()
{
    Backend& backend = State();
    if (backend.reduceProgram) return true;
    const std::string preamble = gl_api::kDialect == fixed_function::Dialect::GlslEs300
                                     ? "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                                     : "#version 330 core\n";
    const GLuint program = LinkProgram(preamble + R"(
void main() {
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)",
                                       preamble + R"(
uniform sampler2D picture;
uniform ivec4 fromTo;  // the first texel of the larger picture's rectangle, the first pixel of this one's
uniform int factor;
out vec4 colour;
void main() {
    ivec2 first = fromTo.xy + (ivec2(gl_FragCoord.xy) - fromTo.zw) * factor;
    vec4 sum = vec4(0.0);
    for (int y = 0; y < factor; ++y)
        for (int x = 0; x < factor; ++x) sum += texelFetch(picture, first + ivec2(x, y), 0);
    colour = sum / float(factor * factor);
}
)",
                                       "picture-reducing");
    if (!program) return false;
    backend.reduceProgram = program;
    backend.reduceFrom = glGetUniformLocation(program, "picture");
    backend.reduceTo = glGetUniformLocation(program, "fromTo");
    backend.reduceFactor = glGetUniformLocation(program, "factor");
    return true;
}

}  // namespace

void Reduce(const Target& from, const Rect& fromRect, const Target& to, const Rect& toRect, int factor)
{
    Backend& backend = State();
    StateCache& cache = backend.cache;
    if (factor <= 1) {
        // Multisampled only: the renderer's own resolve, pixel for pixel.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, from.framebuffer);
        BindDrawFramebuffer(to.framebuffer);
        glBlitFramebuffer(fromRect.x, fromRect.y, fromRect.x + fromRect.width, fromRect.y + fromRect.height, toRect.x,
                          toRect.y, toRect.x + toRect.width, toRect.y + toRect.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        return;
    }
    GLuint picture = from.colour;
    if (from.samples > 0) {
        // A multisampled picture is resolved at its own size first.
        Target& resolved = backend.resolved;
        if (resolved.width != from.width || resolved.height != from.height) {
            DestroyTarget(resolved);
            resolved.width = from.width;
            resolved.height = from.height;
            resolved.ownsDepth = false;
            if (!FinishTarget(resolved)) return;
        }
        Reduce(from, fromRect, resolved, fromRect, 1);
        picture = resolved.colour;
    }
    if (!ReduceProgram()) return;
    BindDrawFramebuffer(to.framebuffer);
    glUseProgram(backend.reduceProgram);
    glUniform1i(backend.reduceFrom, 0);
    glUniform4i(backend.reduceTo, fromRect.x, fromRect.y, toRect.x, toRect.y);
    glUniform1i(backend.reduceFactor, factor);
    glViewport(toRect.x, toRect.y, toRect.width, toRect.height);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
#ifndef BRALMOND_GLES
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
#endif
    SelectUnit(0);
    glBindTexture(GL_TEXTURE_2D, picture);
    glBindSampler(0, 0);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    // What this changed is set again by the next draw.
    cache.viewport = Rect{-1, -1, -1, -1};
    cache.program = ~0u;
    cache.blend = cache.depthTest = cache.cull = -1;
    cache.colourMask = ~0u;
    cache.polygonMode = 0;
    cache.textures[0] = ~0u;
    cache.samplers[0] = ~0u;
}

#ifndef BRALMOND_GLES
void Resolve(PendingRead& read);
#endif

void DestroyTarget(Target& target)
{
#ifndef BRALMOND_GLES
    // Pictures still to be read from it are read now and kept.
    for (PendingRead& read : State().reads)
        if (read.framebuffer && read.framebuffer == target.framebuffer) Resolve(read);
#endif
    StateCache& cache = State().cache;
    if (target.framebuffer) {
        if (cache.drawFramebuffer == target.framebuffer) cache.drawFramebuffer = ~0u;
        glDeleteFramebuffers(1, &target.framebuffer);
    }
    if (target.depth && target.ownsDepth) glDeleteRenderbuffers(1, &target.depth);
    if (target.colour && target.samples > 0) {
        glDeleteRenderbuffers(1, &target.colour);
    } else if (target.colour) {
        for (GLuint& bound : cache.textures)
            if (bound == target.colour) bound = ~0u;
        glDeleteTextures(1, &target.colour);
    }
    target = Target{};
}

// Index buffers are only ever bound as element arrays, vertex buffers as
// arrays: WebGL refuses a buffer once used for the other.
GLenum BindFor(unsigned buffer, bool indices)
{
    if (indices) {
        BindElementBuffer(buffer);
        return GL_ELEMENT_ARRAY_BUFFER;
    }
    BindArrayBuffer(buffer);
    return GL_ARRAY_BUFFER;
}

unsigned CreateBuffer(size_t bytes, bool indices)
{
    DiscardStaleErrors();
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBufferData(BindFor(buffer, indices), static_cast<GLsizeiptr>(bytes), nullptr, GL_DYNAMIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        DestroyBuffer(buffer);
        return 0;
    }
    return buffer;
}

void UploadBuffer(unsigned buffer, bool indices, size_t offset, size_t bytes, const void* data)
{
    if (bytes == 0) return;
    glBufferSubData(BindFor(buffer, indices), static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
}

void DestroyBuffer(unsigned buffer)
{
    if (!buffer) return;
    StateCache& cache = State().cache;
    if (cache.arrayBuffer == buffer) cache.arrayBuffer = ~0u;
    if (cache.elementBuffer == buffer) cache.elementBuffer = ~0u;
    if (cache.layoutBuffer == buffer) cache.layoutBuffer = ~0u;
    GLuint name = buffer;
    glDeleteBuffers(1, &name);
}

bool TextureFormatSupported(D3DFORMAT format)
{
    return TexelFormatOf(format).format != 0;
}

int BytesPerTexel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A4R4G4B4: return 2;
    default: return 0;
    }
}

unsigned CreateTexture(D3DFORMAT format, int width, int height, int levels, bool completeChain)
{
    const TexelFormat texel = TexelFormatOf(format);
    DiscardStaleErrors();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    EditTexture(texture);
    const int given = levels;
    if (completeChain)
        while ((width >> levels) > 0 || (height >> levels) > 0) ++levels;
    for (int level = 0; level < levels; ++level) {
        const int w = width >> level > 0 ? width >> level : 1;
        const int h = height >> level > 0 ? height >> level : 1;
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, h, 0, texel.format, texel.type, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
#ifndef BRALMOND_GLES
    if (texel.opaque) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
#endif
    if (glGetError() != GL_NO_ERROR) {
        DestroyTexture(texture);
        return 0;
    }
    if (levels > given) State().completedChains[texture] = given - 1;
    return texture;
}

#ifdef BRALMOND_GLES
// One level of Direct3D texels as RGBA bytes, alpha 255 for formats without it.
std::vector<uint8_t> TexelsAsRgba(D3DFORMAT format, int width, int height, const void* texels)
{
    const size_t count = static_cast<size_t>(width) * height;
    std::vector<uint8_t> rgba(count * 4);
    const auto* bytes = static_cast<const uint8_t*>(texels);
    const auto widen = [](uint32_t value, int bits) { return static_cast<uint8_t>((value * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1)); };
    for (size_t i = 0; i < count; ++i) {
        uint32_t r, g, b, a;
        if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            b = bytes[4 * i];
            g = bytes[4 * i + 1];
            r = bytes[4 * i + 2];
            a = format == D3DFMT_A8R8G8B8 ? bytes[4 * i + 3] : 255;
        } else {
            const uint32_t w = bytes[2 * i] | (bytes[2 * i + 1] << 8);
            if (format == D3DFMT_R5G6B5) {
                r = widen(w >> 11, 5), g = widen((w >> 5) & 63, 6), b = widen(w & 31, 5), a = 255;
            } else if (format == D3DFMT_A4R4G4B4) {
                a = widen(w >> 12, 4), r = widen((w >> 8) & 15, 4), g = widen((w >> 4) & 15, 4), b = widen(w & 15, 4);
            } else {
                r = widen((w >> 10) & 31, 5), g = widen((w >> 5) & 31, 5), b = widen(w & 31, 5);
                a = format == D3DFMT_A1R5G5B5 ? ((w >> 15) ? 255 : 0) : 255;
            }
        }
        rgba[4 * i] = static_cast<uint8_t>(r);
        rgba[4 * i + 1] = static_cast<uint8_t>(g);
        rgba[4 * i + 2] = static_cast<uint8_t>(b);
        rgba[4 * i + 3] = static_cast<uint8_t>(a);
    }
    return rgba;
}
#endif

void UploadTextureLevel(unsigned texture, D3DFORMAT format, int level, int width, int height, const void* texels)
{
    const TexelFormat texel = TexelFormatOf(format);
    EditTexture(texture);
#ifdef BRALMOND_GLES
    const std::vector<uint8_t> rgba = TexelsAsRgba(format, width, height, texels);
    texels = rgba.data();
#endif
    // The Direct3D picture's top row goes to GL's row 0: texture coordinate
    // v = 0 then samples the top, as in Direct3D.
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, width, height, texel.format, texel.type, texels);
    // The levels below the texture's own are made from its last one.
    const auto completed = State().completedChains.find(texture);
    if (completed != State().completedChains.end() && completed->second == level) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, level);
        glGenerateMipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    }
}

void DestroyTexture(unsigned texture)
{
    if (!texture) return;
    for (GLuint& bound : State().cache.textures)
        if (bound == texture) bound = ~0u;
    State().completedChains.erase(texture);
    GLuint name = texture;
    glDeleteTextures(1, &name);
}

void Clear(const Target& target, const Rect* rects, int count, bool clearColour, uint32_t colour, bool clearDepth,
           float depth)
{
    if (count <= 0 || (!clearColour && !clearDepth)) return;
    StateCache& cache = State().cache;
    BindDrawFramebuffer(target.framebuffer);
    GLbitfield mask = 0;
    if (clearColour) {
        float c[4];
        ColourToFloats(colour, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        if (cache.colourMask != 0xf) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            cache.colourMask = 0xf;
        }
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (clearDepth) {
#ifdef BRALMOND_GLES
        glClearDepthf(depth);
#else
        glClearDepth(depth);
#endif
        if (cache.depthWrite != 1) {
            glDepthMask(GL_TRUE);
            cache.depthWrite = 1;
        }
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < count; ++i) {
        if (rects[i].width <= 0 || rects[i].height <= 0) continue;
        glScissor(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
}

void SetFlatShadingFromLastVertex(bool last)
{
    State().flatFromLastVertex = last;
}

// An indexed triangle list whose triangles (a, b, c) are drawn as (b, c, a):
// the same triangle, wound the same way, with a as the vertex that provokes.
void DrawTurnedTriangles(const DrawCall& call)
{
    Backend& backend = State();
    const size_t size = call.index32 ? 4 : 2;
    const size_t bytes = static_cast<size_t>(call.count) * size;
    backend.turnedIndices.resize(bytes);
    const auto* from = static_cast<const uint8_t*>(call.indices);
    uint8_t* to = backend.turnedIndices.data();
    for (size_t triangle = 0; triangle + 3 <= call.count; triangle += 3) {
        std::memcpy(to + triangle * size, from + (triangle + 1) * size, 2 * size);
        std::memcpy(to + (triangle + 2) * size, from + triangle * size, size);
    }
    if (!backend.turnedIndexBuffer) glGenBuffers(1, &backend.turnedIndexBuffer);
    BindElementBuffer(backend.turnedIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), backend.turnedIndices.data(), GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(call.count), call.index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   nullptr);
}

bool Draw(const Target& target, const DrawCall& call)
{
    Backend& backend = State();
    const Program& program = ProgramFor(*call.key);
    if (!program.valid) return false;
#ifndef BRALMOND_GLES
    if (backend.countPixels && !backend.frameQuery) {
        glGenQueries(1, &backend.frameQuery);
        glBeginQuery(GL_SAMPLES_PASSED, backend.frameQuery);
    }
#endif
    BindDrawFramebuffer(target.framebuffer);
    ApplyRaster(call.raster);
    if (backend.cache.program != program.name) {
        glUseProgram(program.name);
        backend.cache.program = program.name;
    }
    if (call.uniformsVersion != backend.uniformsVersion) {
        glBindBuffer(GL_UNIFORM_BUFFER, backend.uniformBuffer);
        glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(fixed_function::UniformBlock), call.uniforms);
        backend.uniformsVersion = call.uniformsVersion;
    }
    for (int stage = 0; stage < call.key->stageCount; ++stage) {
        if (!call.key->stages[stage].usesTexture) continue;
        BindTexture(stage, call.textures[stage]);
        BindSampler(stage, Sampler(call.samplers[stage]));
    }
    if (call.userVertices) {
        const size_t offset = StreamVertices(call.userVertices, call.userBytes, call.stride);
        ApplyLayout(backend.streamBuffer, 0, call.fvf, call.stride);
        glDrawArrays(PrimitiveMode(call.primitive), static_cast<GLint>(offset / call.stride),
                     static_cast<GLsizei>(call.count));
        return true;
    }
#ifdef BRALMOND_GLES
    // Without glDrawElementsBaseVertex the base vertex moves the attributes.
    ApplyLayout(call.vertexBuffer, call.indexBuffer ? static_cast<size_t>(call.baseVertex) * call.stride : 0, call.fvf,
                call.stride);
#else
    ApplyLayout(call.vertexBuffer, 0, call.fvf, call.stride);
#endif
    if (call.indexBuffer && backend.flatFromLastVertex && call.key->flatShading &&
        call.primitive == D3DPT_TRIANGLELIST && call.indices) {
        DrawTurnedTriangles(call);
        return true;
    }
    if (call.indexBuffer) {
        BindElementBuffer(call.indexBuffer);
#ifdef BRALMOND_GLES
        glDrawElements(PrimitiveMode(call.primitive), static_cast<GLsizei>(call.count),
                       call.index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(call.indexOffset));
#else
        glDrawElementsBaseVertex(PrimitiveMode(call.primitive), static_cast<GLsizei>(call.count),
                                 call.index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(call.indexOffset), call.baseVertex);
#endif
    } else {
        glDrawArrays(PrimitiveMode(call.primitive), static_cast<GLint>(call.first), static_cast<GLsizei>(call.count));
    }
    return true;
}

// The target's picture as RGB rows, bottom row first, into out.
void ReadRgbBottomUp(const Target& target, uint8_t* out)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
#ifdef BRALMOND_GLES
    // OpenGL ES reads RGBA bytes only.
    const size_t pixels = static_cast<size_t>(target.width) * target.height;
    std::vector<uint8_t> rgba(pixels * 4);
    glReadPixels(0, 0, target.width, target.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0; i < pixels; ++i) std::memcpy(out + 3 * i, rgba.data() + 4 * i, 3);
#else
    glReadPixels(0, 0, target.width, target.height, GL_RGB, GL_UNSIGNED_BYTE, out);
#endif
}

void ReadPixels(const Target& target, std::vector<uint8_t>& rgb)
{
    const size_t row = static_cast<size_t>(target.width) * 3;
    rgb.resize(row * static_cast<size_t>(target.height));
    ReadRgbBottomUp(target, rgb.data());
    // GL's rows run bottom-up; the picture is returned top row first.
    std::vector<uint8_t> swap(row);
    for (int y = 0; y < target.height / 2; ++y) {
        uint8_t* top = rgb.data() + row * static_cast<size_t>(y);
        uint8_t* bottom = rgb.data() + row * static_cast<size_t>(target.height - 1 - y);
        std::memcpy(swap.data(), top, row);
        std::memcpy(top, bottom, row);
        std::memcpy(bottom, swap.data(), row);
    }
}

#ifdef BRALMOND_GLES
// WebGL can neither wait on a fence nor map a buffer: a read-back is made at
// once and kept until it is taken.
void QueueRead(const Target& target)
{
    PendingRead read;
    read.width = target.width;
    read.height = target.height;
    read.rgb.resize(static_cast<size_t>(target.width) * target.height * 3);
    ReadRgbBottomUp(target, read.rgb.data());
    State().reads.push_back(std::move(read));
}

bool TakeRead(std::vector<uint8_t>& rgb, int& width, int& height, bool wait)
{
    Backend& backend = State();
    if (backend.reads.empty()) return false;
    rgb = std::move(backend.reads.front().rgb);
    width = backend.reads.front().width;
    height = backend.reads.front().height;
    backend.reads.pop_front();
    return true;
}

bool ReadPending(const Target&)
{
    return false;
}
#else
// The read itself waits until its fence has passed: reading a picture that
// is still being drawn (into a pixel buffer, or by copying it on the
// renderer's side) would, on a software renderer, finish the frame there
// and then instead of beside the drawing of the next one.
void QueueRead(const Target& target)
{
    PendingRead read;
    read.framebuffer = target.framebuffer;
    read.width = target.width;
    read.height = target.height;
    read.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    State().reads.push_back(read);
}

// Reads a queued picture into out, waiting for it when wait is set; false
// when it is not rendered yet. A picture that cannot be read leaves out empty.
bool ReadInto(PendingRead& read, std::vector<uint8_t>& out, bool wait)
{
    const GLenum status = glClientWaitSync(read.fence, GL_SYNC_FLUSH_COMMANDS_BIT, wait ? GL_TIMEOUT_IGNORED : 0);
    if (status == GL_TIMEOUT_EXPIRED) return false;
    glDeleteSync(read.fence);
    read.fence = nullptr;
    out.resize(static_cast<size_t>(read.width) * read.height * 3);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read.framebuffer);
    glReadPixels(0, 0, read.width, read.height, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    read.framebuffer = 0;
    if (glGetError() != GL_NO_ERROR) out.clear();  // taken, but given as a failed read
    return true;
}

// A queued picture kept in memory, for a target that is about to go.
void Resolve(PendingRead& read)
{
    if (read.fence) ReadInto(read, read.rgb, true);
}

// The caller's buffer takes the picture directly, so that a steady capture
// allocates nothing a frame.
bool TakeRead(std::vector<uint8_t>& rgb, int& width, int& height, bool wait)
{
    Backend& backend = State();
    if (backend.reads.empty()) return false;
    PendingRead& read = backend.reads.front();
    if (read.fence) {
        if (!ReadInto(read, rgb, wait)) return false;
    } else {
        rgb = std::move(read.rgb);
    }
    width = read.width;
    height = read.height;
    backend.reads.pop_front();
    return !rgb.empty();
}

bool ReadPending(const Target& target)
{
    for (const PendingRead& read : State().reads)
        if (read.framebuffer == target.framebuffer) return true;
    return false;
}
#endif

size_t QueuedReads()
{
    return State().reads.size();
}

namespace {

struct Overlay {
    std::vector<d3d8_host::OverlayRect> rects;
    int canvasWidth = 1, canvasHeight = 1;
};

Overlay& TheOverlay()
{
    static Overlay overlay;
    return overlay;
}

// The overlay's rectangles as scissored clears of the window's framebuffer
// (bound by the caller), scaled from the canvas onto the picture's place in
// the window; the window's rows count from the bottom.
void DrawOverlay(const Rect& destination)
{
    const Overlay& overlay = TheOverlay();
    if (overlay.rects.empty()) return;
    const double sx = static_cast<double>(destination.width) / overlay.canvasWidth;
    const double sy = static_cast<double>(destination.height) / overlay.canvasHeight;
    glEnable(GL_SCISSOR_TEST);
    for (const d3d8_host::OverlayRect& r : overlay.rects) {
        const int left = destination.x + static_cast<int>(std::lround(r.x * sx));
        const int right = destination.x + static_cast<int>(std::lround((r.x + r.width) * sx));
        const int top = destination.y + destination.height - static_cast<int>(std::lround(r.y * sy));
        const int bottom = destination.y + destination.height - static_cast<int>(std::lround((r.y + r.height) * sy));
        if (right <= left || top <= bottom) continue;
        glScissor(left, bottom, right - left, top - bottom);
        glClearColor(((r.rgb >> 16) & 0xff) / 255.0f, ((r.rgb >> 8) & 0xff) / 255.0f, (r.rgb & 0xff) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace

void SetOverlay(const std::vector<d3d8_host::OverlayRect>& rects, int canvasWidth, int canvasHeight)
{
    Overlay& overlay = TheOverlay();
    overlay.rects = rects;
    overlay.canvasWidth = canvasWidth > 0 ? canvasWidth : 1;
    overlay.canvasHeight = canvasHeight > 0 ? canvasHeight : 1;
}

void PresentToWindow(const Target& target, const Rect& source, const Rect& destination, int windowWidth,
                     int windowHeight)
{
    StateCache& cache = State().cache;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    BindDrawFramebuffer(0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    cache.colourMask = 0xf;
    glViewport(0, 0, windowWidth, windowHeight);
    cache.viewport = Rect{0, 0, windowWidth, windowHeight};
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlitFramebuffer(source.x, source.y, source.x + source.width, source.y + source.height, destination.x,
                      destination.y, destination.x + destination.width, destination.y + destination.height,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    DrawOverlay(destination);
}

// Adds the results of the frames' pixel counts that have arrived (all of them
// when wait is set).
void CollectPixelCounts(bool wait)
{
#ifndef BRALMOND_GLES  // WebGL 2 has no samples-passed query: nothing is counted
    Backend& backend = State();
    while (!backend.pendingQueries.empty()) {
        const GLuint query = backend.pendingQueries.front();
        GLuint available = 0;
        if (!wait) glGetQueryObjectuiv(query, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!wait && !available) return;
        GLuint64 samples = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &samples);
        glDeleteQueries(1, &query);
        backend.pendingQueries.pop_front();
        backend.pixelsCounted += samples;
    }
#endif
}

void EndFrame()
{
#ifndef BRALMOND_GLES  // a browser bounds the frames in flight itself; WebGL cannot wait on a fence
    Backend& backend = State();
    if (backend.countPixels) {
        if (backend.frameQuery) {
            glEndQuery(GL_SAMPLES_PASSED);
            backend.pendingQueries.push_back(backend.frameQuery);
            backend.frameQuery = 0;
        }
        ++backend.framesCounted;
        CollectPixelCounts(false);
    }
    backend.framesInFlight.push_back(glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
    // The renderer may run ahead of the frames it has finished by this much
    // and no more: without the bound a headless run queues frame after frame
    // and its memory grows with every one.
    while (backend.framesInFlight.size() > kFramesInFlight) {
        GLsync oldest = backend.framesInFlight.front();
        backend.framesInFlight.pop_front();
        glClientWaitSync(oldest, GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
        glDeleteSync(oldest);
    }
#endif
}

void FinishFrames()
{
    Backend& backend = State();
    if (!backend.initialised) return;
    glFinish();
    CollectPixelCounts(true);
    for (GLsync fence : backend.framesInFlight) glDeleteSync(fence);
    backend.framesInFlight.clear();
}

size_t FramesInFlight()
{
    return State().framesInFlight.size();
}

void CountPixels(bool on)
{
    State().countPixels = on;
}

void PixelsFilled(uint64_t& pixels, uint64_t& frames)
{
    CollectPixelCounts(true);
    pixels = State().pixelsCounted;
    frames = State().framesCounted;
}

size_t ProgramCount()
{
    return State().programs.size();
}

}  // namespace gl_backend
