// The OpenGL 3.3 core back end of the Direct3D stand-in: the only code that
// calls gl* functions. It owns the GL objects (render targets, buffers,
// textures, samplers, the cached fixed-function programs) and a cache of the
// GL state it last set, so that a draw only changes what differs.
#pragma once

#include "FixedFunction.h"
#include "d3d8_host.h"

#include <d3d8.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gl_backend {

// Checks the context (OpenGL 3.3 or later) and creates the shared objects.
// Idempotent; false, with the reason on stderr, when the context is unusable.
bool Initialise();

// A rectangle in the render target's pixels, OpenGL orientation (origin at
// the bottom left).
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// An offscreen render target: RGBA8 colour and 16-bit depth.
struct Target {
    unsigned framebuffer = 0;
    unsigned colour = 0;  // a texture, or a renderbuffer when multisampled
    unsigned depth = 0;
    int width = 0;
    int height = 0;
    bool ownsDepth = true;  // false for a second colour buffer over another target's depth
    int samples = 0;        // samples a pixel of a multisampled target; 0: not multisampled
};
// samples > 0 makes a multisampled target, which is drawn into and reduced
// (Reduce), never read or shown itself.
bool CreateTarget(Target& target, int width, int height, int samples = 0);
// The most samples a pixel a multisampled target can have, the largest side
// of a target, and the most anisotropy of texture sampling (1: none).
int MaxSamples();
int MaxTargetSide();
float MaxAnisotropy();
// Makes the picture `toRect` of `to` from `fromRect` of `from`, which is
// `factor` times as large a side and may be multisampled: each pixel the
// mean of the factor by factor pixels (and their samples) over it.
void Reduce(const Target& from, const Rect& fromRect, const Target& to, const Rect& toRect, int factor);
// Another colour buffer of the same size over the same depth buffer, black.
bool CreateTargetSharingDepth(Target& target, const Target& depthOf);
void DestroyTarget(Target& target);
// Copies the whole colour picture of one target into another of its size.
void CopyColour(const Target& from, const Target& to);

// Buffers hold vertices or indices; names are OpenGL's (0 = none).
// indices: an index buffer (bound only as an element array, as WebGL demands).
unsigned CreateBuffer(size_t bytes, bool indices);
void UploadBuffer(unsigned buffer, bool indices, size_t offset, size_t bytes, const void* data);
void DestroyBuffer(unsigned buffer);

// Whether a texture format can be created, and its bytes per texel.
bool TextureFormatSupported(D3DFORMAT format);
int BytesPerTexel(D3DFORMAT format);
// With completeChain, a texture of fewer levels than its full chain gets the
// missing smaller ones too, made from its last level whenever that is uploaded.
unsigned CreateTexture(D3DFORMAT format, int width, int height, int levels, bool completeChain = false);
// `texels` are the level's rows in Direct3D's layout, tightly packed, top row first.
void UploadTextureLevel(unsigned texture, D3DFORMAT format, int level, int width, int height, const void* texels);
void DestroyTexture(unsigned texture);

// Clears `rects` (or nothing when count is 0) to the 0xAARRGGBB colour
// and/or the depth value; write masks do not apply, as in Direct3D.
void Clear(const Target& target, const Rect* rects, int count, bool clearColour, uint32_t colour, bool clearDepth,
           float depth);

struct SamplerState {
    uint32_t addressU, addressV;
    uint32_t magFilter, minFilter, mipFilter;
    uint32_t maxMipLevel;
    uint32_t borderColour;
    uint32_t maxAnisotropy;  // 1: none; more is clamped to what the device has
};

struct RasterState {
    bool blend;
    uint32_t sourceBlend, destBlend, blendOp;  // D3DBLEND_, D3DBLENDOP_ values
    bool depthTest, depthWrite;
    uint32_t depthFunc;  // D3DCMP_
    uint32_t cullMode;   // D3DCULL_
    uint32_t fillMode;   // D3DFILL_
    uint32_t colourWriteMask;
    Rect viewport;
    float minZ, maxZ;
};

struct DrawCall {
    const fixed_function::PipelineKey* key;
    const fixed_function::UniformBlock* uniforms;
    uint64_t uniformsVersion;  // changes whenever `uniforms` does
    RasterState raster;
    unsigned textures[fixed_function::kMaxStages];
    SamplerState samplers[fixed_function::kMaxStages];
    uint32_t fvf, stride;
    // The vertices: a buffer with the stream's byte offset, or user memory.
    unsigned vertexBuffer;
    const void* userVertices;
    size_t userBytes;
    // Indexed draws: the index buffer, 16- or 32-bit, the first index's byte
    // offset and the value added to every index.
    unsigned indexBuffer;
    const void* indices;  // the same indices in memory, from the first one
    bool index32;
    size_t indexOffset;
    int baseVertex;
    uint32_t primitive;  // D3DPRIMITIVETYPE
    uint32_t first;      // first vertex of a non-indexed draw
    uint32_t count;      // vertices or indices
};
// Where the context's flat shading takes the last vertex's colour (WebGL
// without WEBGL_provoking_vertex): flat triangle lists are then drawn with
// each triangle's indices turned round, which keeps its winding and puts
// Direct3D's first vertex last.
void SetFlatShadingFromLastVertex(bool last);

// False when the program for the key cannot be built (reported once).
bool Draw(const Target& target, const DrawCall& call);

// Reads the target as top-down RGB rows.
void ReadPixels(const Target& target, std::vector<uint8_t>& rgb);

// Read-back that does not wait for the renderer: QueueRead marks the
// target's picture, just presented, to be read once the renderer has
// finished it; until then nothing may draw into that target (ReadPending
// tells; the device draws the next frames into another colour buffer).
// TakeRead returns the oldest queued picture (RGB rows, bottom row first, as
// OpenGL stores them) once it has been rendered, or waits for it when wait
// is set. False when none is queued, or when it is not rendered yet and
// wait is not set. Where reads cannot be deferred (OpenGL ES: WebGL),
// QueueRead reads at once and ReadPending is always false.
void QueueRead(const Target& target);
size_t QueuedReads();
bool TakeRead(std::vector<uint8_t>& rgb, int& width, int& height, bool wait);
bool ReadPending(const Target& target);

// Shows `source` of the target in `destination` of the window's default
// framebuffer (windowWidth by windowHeight), black around it.
void PresentToWindow(const Target& target, const Rect& source, const Rect& destination, int windowWidth,
                     int windowHeight);

// The marks drawn over the picture by every PresentToWindow from now on
// (see d3d8_host::SetOverlay): kept here, scaled from the canvas onto the
// picture's destination in the window.
void SetOverlay(const std::vector<d3d8_host::OverlayRect>& rects, int canvasWidth, int canvasHeight);

// Frames the renderer may have queued beyond those it has finished.
constexpr size_t kFramesInFlight = 2;
// Ends a presented frame: fences it, and waits for the oldest frame once
// more than kFramesInFlight are unfinished.
void EndFrame();
// Waits until every frame queued so far has been rendered.
void FinishFrames();
size_t FramesInFlight();

// Counting the pixels that the draws fill (samples that pass the depth test),
// for measuring; a frame's count arrives when the renderer has finished it.
void CountPixels(bool on);
void PixelsFilled(uint64_t& pixels, uint64_t& frames);

// Programs compiled so far (each key compiles once).
size_t ProgramCount();

}  // namespace gl_backend
