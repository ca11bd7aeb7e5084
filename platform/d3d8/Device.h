// IDirect3DDevice8 as a state tracker: the Set calls store Direct3D state and
// mark what it invalidates; before each draw the device turns the dirty parts
// into a fixed-function key, a uniform block and raster state for the OpenGL
// back end. It renders into an offscreen target that Present shows.
#pragma once

#include "FixedFunction.h"
#include "GlBackend.h"
#include "Resources.h"

#include <d3d8.h>

#include <cstdint>
#include <vector>

struct SDL_Window;

namespace d3d8_device {

// Creates a device for CreateDevice once the adapter checks have passed.
HRESULT Create(HWND focusWindow, DWORD behaviourFlags, D3DPRESENT_PARAMETERS& params, IDirect3DDevice8** ppDevice);

constexpr int kStages = 8;
constexpr int kStageStates = 29;  // D3DTSS_ values 0..28
constexpr int kRenderStates = 256;
constexpr UINT kMaxPrimitiveCount = 0xFFFFF;  // reported in the caps, enforced by the draws

class Device final : public IDirect3DDevice8 {
public:
    Device(const D3DPRESENT_PARAMETERS& params, SDL_Window* window, const gl_backend::Target& target,
           const gl_backend::Target& drawTarget, int factor);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** ppTexture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** ppVertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** ppIndexBuffer) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* pMatrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* pViewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL8* pMaterial) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* pLight) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* pLight) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* pEnable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** ppTexture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* pTexture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* pVertexStreamZeroData,
                            UINT vertexStreamZeroStride) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* pHandle) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* pStreamData, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT baseVertexIndex) override;

    // Resources keep the device object alive (not its public count) so that
    // they can be released after it.
    void RetainInternal() { ++internalRefs_; }
    void ReleaseInternal();

    const gl_backend::Target& RenderTarget() const { return target_; }
    // The picture just presented is being read back: the next frame is drawn
    // into another colour buffer, which takes over the picture's contents
    // unless that frame begins by clearing all of it.
    void PresentedPictureIsRead() { switchPending_ = true; }

private:
    ~Device() override;

    struct LightSlot {
        D3DLIGHT8 light{};
        bool set = false;  // given by SetLight or LightEnable
        bool enabled = false;
    };

    void SetDefaults();
    // Before drawing or clearing: switches colour buffers after a read-back,
    // and gives the new one the last picture unless wholeColourClear.
    void PrepareTarget(bool wholeColourClear);
    // Takes a colour buffer that no read-back waits on (or a new one) as the
    // target, keeping the last one as a spare; false when none can be had.
    bool TakeFreeColourBuffer();
    // Where draws go: the device's own larger or multisampled picture when
    // the options ask for one, else the target.
    const gl_backend::Target& DrawTarget() const { return drawTarget_.framebuffer ? drawTarget_ : target_; }
    // Counts the frame on the clock unless the present observer takes it.
    void FramePresented();
    void ReleaseBindings();
    gl_backend::Rect ToTarget(LONG x, LONG y, LONG width, LONG height) const;
    void BuildKey();
    void BuildUniforms();
    bool PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT& vertexCount, gl_backend::DrawCall& call);
    void WarnUnsupportedRenderState(D3DRENDERSTATETYPE state, DWORD value);
    void WarnUnsupportedStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);

    ULONG publicRefs_ = 1;
    ULONG internalRefs_ = 0;
    D3DPRESENT_PARAMETERS params_;
    SDL_Window* window_;
    gl_backend::Target target_;
    // Other colour buffers over target_'s depth; the last one holds the last
    // picture while copyPending_.
    std::vector<gl_backend::Target> spareTargets_;
    bool switchPending_ = false;
    bool copyPending_ = false;
    gl_backend::Rect picture_;  // where the back buffer lies in the target
    // With forced picture quality: the picture drawn at factor_ times the
    // target's size and/or multisampled, reduced into the target by Present,
    // and where the back buffer lies in it (picture_ scaled by factor_).
    gl_backend::Target drawTarget_;
    gl_backend::Rect drawPicture_;
    int factor_ = 1;
    bool inScene_ = false;
    bool depthAllOne_ = false;  // the whole depth buffer holds 1.0 since its last clear

    DWORD renderStates_[kRenderStates];
    DWORD stageStates_[kStages][kStageStates];
    D3DMATRIX world_, view_, projection_, textureMatrices_[kStages];
    D3DVIEWPORT8 viewport_;
    D3DMATERIAL8 material_;
    std::vector<LightSlot> lights_;
    Texture* textures_[kStages] = {};
    VertexBuffer* stream_ = nullptr;
    UINT streamStride_ = 0;
    IndexBuffer* indices_ = nullptr;
    UINT baseVertexIndex_ = 0;
    DWORD vertexShader_ = 0;

    bool keyDirty_ = true;
    bool uniformsDirty_ = true;
    fixed_function::PipelineKey key_;
    fixed_function::UniformBlock uniforms_{};  // whole block uploaded: no byte left uninitialised
    uint64_t uniformsVersion_ = 0;
};

}  // namespace d3d8_device
