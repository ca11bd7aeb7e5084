// The Direct3D 8 device: stores state with Direct3D's defaults, creates
// resources, validates draws against the buffers and hands each draw to the
// OpenGL back end with the fixed-function key, the uniforms and the raster
// state it needs. The offscreen target may be larger than the back buffer:
// the back buffer's picture then fills a centred region of it with the same
// aspect, and everything in back-buffer pixels is scaled into that region.
#include "Device.h"

#include "GlContext.h"
#include "Hooks.h"
#include "PictureQuality.h"
#include "Presentation.h"
#include "d3d8_host.h"

#include "runtime.h"
#include "call_log.h"
#include "win32_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace d3d8_device {

namespace {

using fixed_function::kMaxLights;
using fixed_function::kMaxStages;

d3d8_host::PresentObserver& PresentObserverSlot()
{
    static d3d8_host::PresentObserver observer;
    return observer;
}

// The host's frames on the way to a music time, not shown (d3d8_host::HidePresents).
bool& PresentsHidden()
{
    static bool hidden = false;
    return hidden;
}

uint64_t NextUniformsVersion()
{
    // Shared by all devices, so the back end never mistakes one device's
    // block for another's.
    static uint64_t version = 0;
    return ++version;
}

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Row-vector product a * b, Direct3D's order (a applied first).
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

// Inverse transpose of the upper 3x3, in a 4x4 with a 1 at _44: the matrix
// that carries normals into camera space. A singular matrix gives zero.
D3DMATRIX NormalMatrix(const D3DMATRIX& m)
{
    const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32, i = m._33;
    const float cofactor[3][3] = {{e * i - f * h, -(d * i - f * g), d * h - e * g},
                                  {-(b * i - c * h), a * i - c * g, -(a * h - b * g)},
                                  {b * f - c * e, -(a * f - c * d), a * e - b * d}};
    const float det = a * cofactor[0][0] + b * cofactor[0][1] + c * cofactor[0][2];
    D3DMATRIX r{};
    if (det != 0.0f) {
        // (M^-1)^T = cofactor(M) / det.
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) r.m[row][col] = cofactor[row][col] / det;
    }
    r._44 = 1.0f;
    return r;
}

void StoreMatrix(float out[16], const D3DMATRIX& m)
{
    std::memcpy(out, &m, sizeof(float) * 16);
}

void StoreColour(float out[4], const D3DCOLORVALUE& c)
{
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

void StoreColour(float out[4], DWORD argb)
{
    out[0] = static_cast<float>((argb >> 16) & 0xff) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xff) / 255.0f;
    out[2] = static_cast<float>(argb & 0xff) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xff) / 255.0f;
}

// Bytes per vertex of an FVF code; 0 for layouts the stand-in cannot read.
UINT VertexSize(DWORD fvf)
{
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position != D3DFVF_XYZ && position != D3DFVF_XYZRHW) return 0;
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    // Texture coordinate sizes other than two floats (bits 16 and up) and
    // more than two sets are not read by the programs.
    if (sets > 2 || (fvf & 0xffff0000u) != 0 || (fvf & 0xf001u) != 0) return 0;
    UINT size = position == D3DFVF_XYZRHW ? 16 : 12;
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    return size + 8 * sets;
}

bool VerticesFor(D3DPRIMITIVETYPE type, UINT primitives, UINT& vertices)
{
    const uint64_t n = primitives;
    uint64_t count = 0;
    switch (type) {
    case D3DPT_POINTLIST: count = n; break;
    case D3DPT_LINELIST: count = 2 * n; break;
    case D3DPT_LINESTRIP: count = n + 1; break;
    case D3DPT_TRIANGLELIST: count = 3 * n; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: count = n + 2; break;
    default: return false;
    }
    if (count > 0xffffffffu) return false;
    vertices = static_cast<UINT>(count);
    return true;
}

const DWORD kDefaultRenderStates[][2] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_LINEPATTERN, 0},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_ZVISIBLE, 0},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, 0},
    {D3DRS_FOGSTART, 0x00000000u},  // 0.0f
    {D3DRS_FOGEND, 0x3f800000u},    // 1.0f
    {D3DRS_FOGDENSITY, 0x3f800000u},
    {D3DRS_EDGEANTIALIAS, FALSE},
    {D3DRS_ZBIAS, 0},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, 1},  // D3DSTENCILOP_KEEP
    {D3DRS_STENCILZFAIL, 1},
    {D3DRS_STENCILPASS, 1},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xffffffffu},
    {D3DRS_STENCILWRITEMASK, 0xffffffffu},
    {D3DRS_TEXTUREFACTOR, 0xffffffffu},
    {D3DRS_WRAP0, 0},
    {D3DRS_WRAP1, 0},
    {130, 0}, {131, 0}, {132, 0}, {133, 0}, {134, 0}, {135, 0},  // D3DRS_WRAP2..7
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, 0},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_NORMALIZENORMALS, FALSE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_VERTEXBLEND, 0},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_SOFTWAREVERTEXPROCESSING, FALSE},
    {D3DRS_POINTSIZE, 0x3f800000u},  // 1.0f
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_COLORWRITEENABLE, 0xf},
    {D3DRS_BLENDOP, 1},  // D3DBLENDOP_ADD
};

// States the device stores; everything else is unknown to it.
bool KnownRenderState(DWORD state)
{
    if (state == D3DRS_ZENABLE) return true;
    for (const auto& entry : kDefaultRenderStates)
        if (entry[0] == state) return true;
    return false;
}

}  // namespace

HRESULT Create(HWND focusWindow, DWORD behaviourFlags, D3DPRESENT_PARAMETERS& params, IDirect3DDevice8** ppDevice)
{
    const runtime::Options& options = runtime::CurrentOptions();
    const HWND deviceWindow = params.hDeviceWindow ? params.hDeviceWindow : focusWindow;
    SDL_Window* window = options.headless ? nullptr : win32_host::SdlWindowOf(deviceWindow);
    if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0) {
        // A device without a size takes the window's client area, as Direct3D does.
        int w = 0, h = 0;
        if (!win32_host::ClientSize(deviceWindow, w, h) || w <= 0 || h <= 0) return D3DERR_INVALIDCALL;
        if (params.BackBufferWidth == 0) params.BackBufferWidth = static_cast<UINT>(w);
        if (params.BackBufferHeight == 0) params.BackBufferHeight = static_cast<UINT>(h);
    }
    if (params.BackBufferWidth > 16384 || params.BackBufferHeight > 16384) return D3DERR_INVALIDCALL;
    if (params.BackBufferCount == 0) params.BackBufferCount = 1;
    if (!gl_context::MakeCurrent(window) || !gl_backend::Initialise()) return D3DERR_NOTAVAILABLE;
    // A process whose context was made headless renders offscreen only.
    if (!gl_context::OnWindow()) window = nullptr;
    int width = options.outputWidth > 0 ? options.outputWidth : static_cast<int>(params.BackBufferWidth);
    int height = options.outputHeight > 0 ? options.outputHeight : static_cast<int>(params.BackBufferHeight);
    const picture_quality::DrawSurface surface = picture_quality::SurfaceFor(options);
    std::string reason;
    if (!picture_quality::DeviceAllows(surface, width, height, reason)) {
        std::fprintf(stderr, "d3d8: %s\n", reason.c_str());
        runtime::NoteFailureReason(reason);
        return D3DERR_NOTAVAILABLE;
    }
    gl_backend::Target target, drawTarget;
    if (!gl_backend::CreateTarget(target, width, height)) return D3DERR_OUTOFVIDEOMEMORY;
    if (surface.OwnPicture() &&
        !gl_backend::CreateTarget(drawTarget, width * surface.factor, height * surface.factor, surface.samples)) {
        gl_backend::DestroyTarget(target);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (options.filter == runtime::TextureFilter::Anisotropic && gl_backend::MaxAnisotropy() <= 1.0f)
        std::fprintf(stderr, "d3d8: this graphics device filters textures without anisotropy: --filter anisotropic "
                             "is trilinear here\n");
    gl_backend::CountPixels(options.countPixels);
    *ppDevice = new Device(params, window, target, drawTarget, surface.factor);
    return D3D_OK;
}

Device::Device(const D3DPRESENT_PARAMETERS& params, SDL_Window* window, const gl_backend::Target& target,
               const gl_backend::Target& drawTarget, int factor)
    : params_(params), window_(window), target_(target), drawTarget_(drawTarget), factor_(factor)
{
    ++d3d8_hooks::liveDevices;
    // The back buffer fills the largest centred region of the target that
    // keeps its aspect; the rest stays black.
    picture_ = presentation::Letterbox(target.width, target.height, params.BackBufferWidth, params.BackBufferHeight);
    drawPicture_ = gl_backend::Rect{picture_.x * factor, picture_.y * factor, picture_.width * factor,
                                    picture_.height * factor};
    SetDefaults();
}

Device::~Device()
{
    // Every presented frame is rendered before the device goes.
    gl_backend::FinishFrames();
    for (gl_backend::Target& spare : spareTargets_) gl_backend::DestroyTarget(spare);
    gl_backend::DestroyTarget(target_);
    gl_backend::DestroyTarget(drawTarget_);
    --d3d8_hooks::liveDevices;
}

void Device::SetDefaults()
{
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
    for (const auto& entry : kDefaultRenderStates) renderStates_[entry[0]] = entry[1];
    renderStates_[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    for (int stage = 0; stage < kStages; ++stage) {
        DWORD* s = stageStates_[stage];
        std::fill(s, s + kStageStates, 0u);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(stage);
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        s[D3DTSS_MAXANISOTROPY] = 1;
        s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        textureMatrices_[stage] = Identity();
    }
    world_ = view_ = projection_ = Identity();
    viewport_ = D3DVIEWPORT8{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
    material_ = D3DMATERIAL8{};
    keyDirty_ = uniformsDirty_ = true;
}

ULONG Device::AddRef()
{
    return ++publicRefs_;
}

ULONG Device::Release()
{
    if (publicRefs_ == 0) return 0;
    const ULONG left = --publicRefs_;
    if (left == 0) {
        call_log::Record("IDirect3DDevice8::Release");
        // Bound resources are let go as Direct3D does when the device goes.
        ReleaseBindings();
        if (internalRefs_ == 0) delete this;
    }
    return left;
}

void Device::ReleaseInternal()
{
    if (--internalRefs_ == 0 && publicRefs_ == 0) delete this;
}

void Device::ReleaseBindings()
{
    // Hold the object while the bindings' releases drop internal references.
    ++internalRefs_;
    for (Texture*& texture : textures_) {
        if (texture) texture->Release();
        texture = nullptr;
    }
    if (stream_) stream_->Release();
    stream_ = nullptr;
    if (indices_) indices_->Release();
    indices_ = nullptr;
    --internalRefs_;
}

HRESULT Device::TestCooperativeLevel()
{
    return d3d8_hooks::Current().lostState;
}

HRESULT Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                        const void* pDirtyRegion)
{
    call_log::Record("Present");
    if (pSourceRect || pDestRect || hDestWindowOverride || pDirtyRegion)
        d3d8_warn::Unsupported("Present with source or destination rectangles, another window or a dirty region");
    if (drawTarget_.framebuffer) {
        // The drawn picture, reduced into a target that no read-back waits on.
        if (switchPending_) TakeFreeColourBuffer();
        switchPending_ = false;
        gl_backend::Reduce(drawTarget_, drawPicture_, target_, picture_, factor_);
    }
    if (d3d8_hooks::Current().lostState != D3D_OK) {
        // Nothing is shown, but time goes on as it would for a real lost
        // device: a headless run's virtual clock must not stall on it.
        FramePresented();
        return D3DERR_DEVICELOST;
    }
    if (!PresentsHidden())
        presentation::ToWindow(window_, target_, picture_, params_.BackBufferWidth, params_.BackBufferHeight,
                               runtime::CurrentOptions().vsync);
    FramePresented();
    return D3D_OK;
}

void Device::FramePresented()
{
    gl_backend::EndFrame();
    const d3d8_host::PresentObserver& observer = PresentObserverSlot();
    if (!observer || observer(this)) runtime::AdvanceFrame();
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture8** ppTexture)
{
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (width == 0 || height == 0 || width > 4096 || height > 4096) return D3DERR_INVALIDCALL;
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) {
        d3d8_warn::Unsupported("CreateTexture with usage 0x%lx", static_cast<unsigned long>(usage));
        return D3DERR_INVALIDCALL;
    }
    if (!gl_backend::TextureFormatSupported(format)) {
        d3d8_warn::Unsupported("texture format %d", static_cast<int>(format));
        return D3DERR_INVALIDCALL;
    }
    UINT fullChain = 1;
    while ((width >> fullChain) > 0 || (height >> fullChain) > 0) ++fullChain;
    if (levels == 0 || levels > fullChain) levels = fullChain;
    if (d3d8_hooks::Current().failCreateTexture) return D3DERR_OUTOFVIDEOMEMORY;
    const unsigned name =
        gl_backend::CreateTexture(format, static_cast<int>(width), static_cast<int>(height), static_cast<int>(levels),
                                  picture_quality::NeedsWholeMipChains(runtime::CurrentOptions()));
    if (!name) return D3DERR_OUTOFVIDEOMEMORY;
    *ppTexture = new Texture(this, width, height, levels, usage, format, pool, name);
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer8** ppVertexBuffer)
{
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (length == 0 || (fvf != 0 && length < VertexSize(fvf))) return D3DERR_INVALIDCALL;
    if (d3d8_hooks::Current().failCreateVertexBuffer) return D3DERR_OUTOFVIDEOMEMORY;
    const unsigned name = gl_backend::CreateBuffer(length, false);
    if (!name) return D3DERR_OUTOFVIDEOMEMORY;
    *ppVertexBuffer = new VertexBuffer(this, length, usage, fvf, pool, name);
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer8** ppIndexBuffer)
{
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    if (d3d8_hooks::Current().failCreateIndexBuffer) return D3DERR_OUTOFVIDEOMEMORY;
    const unsigned name = gl_backend::CreateBuffer(length, true);
    if (!name) return D3DERR_OUTOFVIDEOMEMORY;
    *ppIndexBuffer = new IndexBuffer(this, length, usage, static_cast<DWORD>(format), pool, name);
    return D3D_OK;
}

HRESULT Device::BeginScene()
{
    call_log::Record("BeginScene");
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    call_log::Record("EndScene");
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

gl_backend::Rect Device::ToTarget(LONG x, LONG y, LONG width, LONG height) const
{
    // Back-buffer pixels, origin top left, to target pixels, origin bottom left.
    // The target's pixels are counted in the picture drawn into (drawPicture_
    // is picture_ itself without forced quality).
    const gl_backend::Rect& picture = drawPicture_;
    const double sx = static_cast<double>(picture.width) / params_.BackBufferWidth;
    const double sy = static_cast<double>(picture.height) / params_.BackBufferHeight;
    const LONG bottom = static_cast<LONG>(params_.BackBufferHeight) - (y + height);
    gl_backend::Rect r;
    r.x = picture.x + static_cast<int>(std::lround(x * sx));
    r.y = picture.y + static_cast<int>(std::lround(bottom * sy));
    r.width = picture.x + static_cast<int>(std::lround((x + width) * sx)) - r.x;
    r.height = picture.y + static_cast<int>(std::lround((bottom + height) * sy)) - r.y;
    return r;
}

bool Device::TakeFreeColourBuffer()
{
    size_t free = spareTargets_.size();
    for (size_t i = 0; i < spareTargets_.size(); ++i)
        if (!gl_backend::ReadPending(spareTargets_[i])) free = i;
    gl_backend::Target next;
    if (free < spareTargets_.size()) {
        next = spareTargets_[free];
        spareTargets_.erase(spareTargets_.begin() + static_cast<std::ptrdiff_t>(free));
    } else if (!gl_backend::CreateTargetSharingDepth(next, target_)) {
        return false;  // the same buffer goes on; the read waits for it
    }
    spareTargets_.push_back(target_);
    target_ = next;
    return true;
}

void Device::PrepareTarget(bool wholeColourClear)
{
    // The device's own picture is never read back: the target changes
    // buffers when Present reduces into it.
    if (drawTarget_.framebuffer) return;
    if (switchPending_) {
        switchPending_ = false;
        if (!TakeFreeColourBuffer()) return;  // drawing goes on in the same buffer
        copyPending_ = true;
    }
    if (copyPending_ && !wholeColourClear) gl_backend::CopyColour(spareTargets_.back(), target_);
    copyPending_ = false;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil)
{
    call_log::Record("Clear");
    if (count > 0 && !pRects) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) && !params_.EnableAutoDepthStencil) return D3DERR_INVALIDCALL;
    if (flags & D3DCLEAR_STENCIL) return D3DERR_INVALIDCALL;  // the depth buffer has no stencil bits
    const bool clearColour = (flags & D3DCLEAR_TARGET) != 0;
    const bool clearDepth = (flags & D3DCLEAR_ZBUFFER) != 0;
    const float depth = std::clamp(z, 0.0f, 1.0f);
    const LONG vx0 = static_cast<LONG>(viewport_.X), vy0 = static_cast<LONG>(viewport_.Y);
    const LONG vx1 = vx0 + static_cast<LONG>(viewport_.Width), vy1 = vy0 + static_cast<LONG>(viewport_.Height);
    const bool wholeViewport = vx0 == 0 && vy0 == 0 && vx1 == static_cast<LONG>(params_.BackBufferWidth) &&
                               vy1 == static_cast<LONG>(params_.BackBufferHeight);
    PrepareTarget(count == 0 && clearColour && wholeViewport);
    if (count == 0) {
        // Without rectangles Direct3D clears the whole viewport.
        const gl_backend::Rect r = ToTarget(vx0, vy0, vx1 - vx0, vy1 - vy0);
        gl_backend::Clear(DrawTarget(), &r, 1, clearColour, colour, clearDepth, depth);
        if (clearDepth) depthAllOne_ = depth == 1.0f && wholeViewport;
        return D3D_OK;
    }
    if (clearDepth) depthAllOne_ = false;
    for (DWORD i = 0; i < count; ++i) {
        const LONG x0 = std::max(pRects[i].x1, vx0), y0 = std::max(pRects[i].y1, vy0);
        const LONG x1 = std::min(pRects[i].x2, vx1), y1 = std::min(pRects[i].y2, vy1);
        if (x1 <= x0 || y1 <= y0) continue;
        const gl_backend::Rect r = ToTarget(x0, y0, x1 - x0, y1 - y0);
        gl_backend::Clear(DrawTarget(), &r, 1, clearColour, colour, clearDepth, depth);
    }
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* pMatrix)
{
    if (!pMatrix) return D3DERR_INVALIDCALL;
    const int s = static_cast<int>(state);
    if (s == D3DTS_WORLD) {
        world_ = *pMatrix;
    } else if (s == D3DTS_VIEW) {
        view_ = *pMatrix;
    } else if (s == D3DTS_PROJECTION) {
        projection_ = *pMatrix;
    } else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) {
        textureMatrices_[s - D3DTS_TEXTURE0] = *pMatrix;
    } else {
        d3d8_warn::Unsupported("transform state %d", s);
        return D3DERR_INVALIDCALL;
    }
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* pMatrix)
{
    if (!pMatrix) return D3DERR_INVALIDCALL;
    const int s = static_cast<int>(state);
    if (s == D3DTS_WORLD) *pMatrix = world_;
    else if (s == D3DTS_VIEW) *pMatrix = view_;
    else if (s == D3DTS_PROJECTION) *pMatrix = projection_;
    else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) *pMatrix = textureMatrices_[s - D3DTS_TEXTURE0];
    else return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* pViewport)
{
    if (!pViewport) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT8& v = *pViewport;
    const uint64_t right = static_cast<uint64_t>(v.X) + v.Width, bottom = static_cast<uint64_t>(v.Y) + v.Height;
    if (v.Width == 0 || v.Height == 0 || right > params_.BackBufferWidth || bottom > params_.BackBufferHeight ||
        !(v.MinZ >= 0.0f && v.MinZ <= 1.0f && v.MaxZ >= 0.0f && v.MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    viewport_ = v;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* pViewport)
{
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = viewport_;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* pMaterial)
{
    if (!pMaterial) return D3DERR_INVALIDCALL;
    material_ = *pMaterial;
    uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL8* pMaterial)
{
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = material_;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* pLight)
{
    if (!pLight || index > 0xffff) return D3DERR_INVALIDCALL;
    const D3DLIGHT8& l = *pLight;
    if (l.Type != D3DLIGHT_POINT && l.Type != D3DLIGHT_SPOT && l.Type != D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (l.Range < 0.0f) return D3DERR_INVALIDCALL;
    if (index >= lights_.size()) lights_.resize(index + 1);
    lights_[index].light = l;
    lights_[index].set = true;
    if (lights_[index].enabled) uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT8* pLight)
{
    if (!pLight || index >= lights_.size() || !lights_[index].set) return D3DERR_INVALIDCALL;
    *pLight = lights_[index].light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable)
{
    if (index > 0xffff) return D3DERR_INVALIDCALL;
    if (index >= lights_.size()) lights_.resize(index + 1);
    if (!lights_[index].set) {
        // Enabling a light that was never set gives Direct3D's default light:
        // a white directional light along +z.
        D3DLIGHT8& l = lights_[index].light;
        l = D3DLIGHT8{};
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
        l.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
        lights_[index].set = true;
    }
    lights_[index].enabled = enable != FALSE;
    keyDirty_ = uniformsDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* pEnable)
{
    if (!pEnable || index >= lights_.size() || !lights_[index].set) return D3DERR_INVALIDCALL;
    *pEnable = lights_[index].enabled ? TRUE : FALSE;
    return D3D_OK;
}

void Device::WarnUnsupportedRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    const auto warn = [&](const char* name) {
        d3d8_warn::Unsupported("render state %s = %lu", name, static_cast<unsigned long>(value));
    };
    switch (state) {
    case D3DRS_ZENABLE:
        if (value == D3DZB_USEW) warn("D3DRS_ZENABLE (w-buffer)");
        break;
    case D3DRS_FOGENABLE:
        if (value) warn("D3DRS_FOGENABLE");
        break;
    case D3DRS_STENCILENABLE:
        if (value) warn("D3DRS_STENCILENABLE");
        break;
    case D3DRS_VERTEXBLEND:
        if (value) warn("D3DRS_VERTEXBLEND");
        break;
    case D3DRS_CLIPPLANEENABLE:
        if (value) warn("D3DRS_CLIPPLANEENABLE");
        break;
    case D3DRS_ZBIAS:
        if (value) warn("D3DRS_ZBIAS");
        break;
    case D3DRS_LINEPATTERN:
        if (value) warn("D3DRS_LINEPATTERN");
        break;
    case D3DRS_EDGEANTIALIAS:
        if (value) warn("D3DRS_EDGEANTIALIAS");
        break;
    case D3DRS_POINTSIZE:
        if (value != 0x3f800000u) warn("D3DRS_POINTSIZE");
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        if (value < D3DBLEND_ZERO || value > D3DBLEND_SRCALPHASAT) warn("D3DRS_SRCBLEND/DESTBLEND");
        break;
    case D3DRS_BLENDOP:
        if (value < 1 || value > 5) warn("D3DRS_BLENDOP");
        break;
    default:
        if (state >= D3DRS_WRAP0 && state <= 135 && value) warn("D3DRS_WRAPn");
        break;
    }
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    const DWORD s = static_cast<DWORD>(state);
    if (!KnownRenderState(s)) {
        d3d8_warn::Unsupported("render state %lu", static_cast<unsigned long>(s));
        if (s >= kRenderStates) return D3DERR_INVALIDCALL;
    }
    WarnUnsupportedRenderState(state, value);
    if (renderStates_[s] == value) return D3D_OK;
    renderStates_[s] = value;
    switch (state) {
    case D3DRS_AMBIENT:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF: uniformsDirty_ = true; break;
    case D3DRS_LIGHTING:
    case D3DRS_SHADEMODE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAFUNC:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE: keyDirty_ = true; break;
    default: break;
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue)
{
    if (!pValue || static_cast<DWORD>(state) >= kRenderStates) return D3DERR_INVALIDCALL;
    *pValue = renderStates_[state];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** ppTexture)
{
    if (!ppTexture || stage >= kStages) return D3DERR_INVALIDCALL;
    *ppTexture = textures_[stage];
    if (textures_[stage]) textures_[stage]->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* pTexture)
{
    if (stage >= kStages) return D3DERR_INVALIDCALL;
    Texture* texture = nullptr;
    if (pTexture) {
        texture = dynamic_cast<Texture*>(pTexture);
        if (!texture) return D3DERR_INVALIDCALL;
    }
    if (texture == textures_[stage]) return D3D_OK;
    if (texture) texture->AddRef();
    if (textures_[stage]) textures_[stage]->Release();
    textures_[stage] = texture;
    keyDirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* pValue)
{
    if (!pValue || stage >= kStages || static_cast<DWORD>(type) >= kStageStates) return D3DERR_INVALIDCALL;
    *pValue = stageStates_[stage][type];
    return D3D_OK;
}

void Device::WarnUnsupportedStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    const auto warn = [&](const char* name) {
        d3d8_warn::Unsupported("texture stage state %s = 0x%lx (stage %lu)", name, static_cast<unsigned long>(value),
                               static_cast<unsigned long>(stage));
    };
    switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
        if (value < D3DTOP_DISABLE || value > D3DTOP_BLENDTEXTUREALPHA) warn("D3DTSS_COLOROP/ALPHAOP");
        break;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
        if ((value & D3DTA_SELECTMASK) > D3DTA_SPECULAR ||
            (value & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) != 0)
            warn("D3DTSS_COLORARG/ALPHAARG");
        break;
    case D3DTSS_TEXCOORDINDEX:
        if ((value >> 16) > 3 || (value & 0xffff) > 1) warn("D3DTSS_TEXCOORDINDEX");
        break;
    case D3DTSS_TEXTURETRANSFORMFLAGS:
        if ((value & ~(0xffu | D3DTTFF_PROJECTED)) != 0 || (value & 0xff) > 4) warn("D3DTSS_TEXTURETRANSFORMFLAGS");
        break;
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
        if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_BORDER) warn("D3DTSS_ADDRESSU/V");
        break;
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER:
        if (value > D3DTEXF_ANISOTROPIC) warn("texture filter");
        break;
    case D3DTSS_MIPMAPLODBIAS:
        if (value) warn("D3DTSS_MIPMAPLODBIAS");
        break;
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET:
        if (value) warn("bump mapping");
        break;
    case D3DTSS_COLORARG0:
    case D3DTSS_ALPHAARG0:
    case D3DTSS_RESULTARG:
        if (value != D3DTA_CURRENT) warn("D3DTSS_COLORARG0/ALPHAARG0/RESULTARG");
        break;
    default: break;
    }
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    const DWORD t = static_cast<DWORD>(type);
    if (stage >= kStages || t >= kStageStates || t == 0 || t == 12) {
        d3d8_warn::Unsupported("texture stage state %lu on stage %lu", static_cast<unsigned long>(t),
                               static_cast<unsigned long>(stage));
        return D3DERR_INVALIDCALL;
    }
    WarnUnsupportedStageState(stage, type, value);
    stageStates_[stage][t] = value;
    keyDirty_ = true;
    return D3D_OK;
}

HRESULT Device::SetVertexShader(DWORD handle)
{
    if (VertexSize(handle) == 0) d3d8_warn::Unsupported("vertex shader or FVF code 0x%lx", static_cast<unsigned long>(handle));
    if (handle != vertexShader_) keyDirty_ = true;
    vertexShader_ = handle;
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* pHandle)
{
    if (!pHandle) return D3DERR_INVALIDCALL;
    *pHandle = vertexShader_;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* pStreamData, UINT stride)
{
    if (streamNumber != 0) {
        d3d8_warn::Unsupported("vertex stream %u", streamNumber);
        return D3DERR_INVALIDCALL;
    }
    VertexBuffer* buffer = nullptr;
    if (pStreamData) {
        buffer = dynamic_cast<VertexBuffer*>(pStreamData);
        if (!buffer) return D3DERR_INVALIDCALL;
        buffer->AddRef();
    }
    if (stream_) stream_->Release();
    stream_ = buffer;
    streamStride_ = stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT baseVertexIndex)
{
    IndexBuffer* buffer = nullptr;
    if (pIndexData) {
        buffer = dynamic_cast<IndexBuffer*>(pIndexData);
        if (!buffer) return D3DERR_INVALIDCALL;
        buffer->AddRef();
    }
    if (indices_) indices_->Release();
    indices_ = buffer;
    baseVertexIndex_ = baseVertexIndex;
    return D3D_OK;
}

void Device::BuildKey()
{
    using namespace fixed_function;
    PipelineKey k;
    std::memset(&k, 0, sizeof(k));
    const DWORD fvf = vertexShader_;
    const DWORD* rs = renderStates_;
    k.pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    k.hasNormal = !k.pretransformed && (fvf & D3DFVF_NORMAL) != 0;
    k.hasDiffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    k.hasSpecular = (fvf & D3DFVF_SPECULAR) != 0;
    k.texCoordSets = static_cast<uint8_t>(std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 2));
    // Pre-transformed vertices are never lit.
    k.lighting = !k.pretransformed && rs[D3DRS_LIGHTING] != FALSE;
    k.specularEnable = rs[D3DRS_SPECULARENABLE] != FALSE;
    k.localViewer = rs[D3DRS_LOCALVIEWER] != FALSE;
    k.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != FALSE;
    if (k.lighting) {
        int count = 0;
        for (const LightSlot& slot : lights_) count += slot.enabled ? 1 : 0;
        if (count > kMaxLights) d3d8_warn::Unsupported("more than %d enabled lights", kMaxLights);
        k.lightCount = static_cast<uint8_t>(std::min(count, kMaxLights));
        // With D3DRS_COLORVERTEX a material colour may come from a vertex
        // colour, when the format has that colour.
        const bool colourVertex = rs[D3DRS_COLORVERTEX] != FALSE;
        const auto source = [&](DWORD state) -> uint8_t {
            if (!colourVertex) return kFromMaterial;
            if (rs[state] == D3DMCS_COLOR1 && k.hasDiffuse) return kFromDiffuse;
            if (rs[state] == D3DMCS_COLOR2 && k.hasSpecular) return kFromSpecular;
            return kFromMaterial;
        };
        k.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
        k.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
        k.specularSource = source(D3DRS_SPECULARMATERIALSOURCE);
        k.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
    }
    k.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS)
        k.alphaFunc = static_cast<uint8_t>(std::clamp<DWORD>(rs[D3DRS_ALPHAFUNC], D3DCMP_NEVER, D3DCMP_ALWAYS));

    const auto isTexture = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    for (int stage = 0; stage < kStages; ++stage) {
        const DWORD* ss = stageStates_[stage];
        const DWORD colourOp = ss[D3DTSS_COLOROP];
        if (colourOp == D3DTOP_DISABLE) break;
        if (colourOp > D3DTOP_BLENDTEXTUREALPHA || colourOp == 0) break;  // warned when set
        if (stage >= kMaxStages) {
            d3d8_warn::Unsupported("more than %d texture stages", kMaxStages);
            break;
        }
        const bool bound = textures_[stage] != nullptr;
        const bool colourUsesTexture = (colourOp != D3DTOP_SELECTARG2 && isTexture(ss[D3DTSS_COLORARG1])) ||
                                       (colourOp != D3DTOP_SELECTARG1 && isTexture(ss[D3DTSS_COLORARG2])) ||
                                       colourOp == D3DTOP_BLENDTEXTUREALPHA;
        // A stage whose colour reads a texture that is not there is skipped,
        // and so is every later stage: the result is the colour so far
        // (the diffuse colour for stage 0).
        if (colourUsesTexture && !bound) break;
        StageKey& sk = k.stages[stage];
        sk.colourOp = static_cast<uint8_t>(colourOp);
        sk.colourArg1 = static_cast<uint8_t>(ss[D3DTSS_COLORARG1]);
        sk.colourArg2 = static_cast<uint8_t>(ss[D3DTSS_COLORARG2]);
        DWORD alphaOp = ss[D3DTSS_ALPHAOP];
        if (alphaOp > D3DTOP_BLENDTEXTUREALPHA) alphaOp = D3DTOP_DISABLE;
        DWORD alphaArg1 = ss[D3DTSS_ALPHAARG1], alphaArg2 = ss[D3DTSS_ALPHAARG2];
        if (!bound) {
            // Without a texture an alpha argument of TEXTURE reads the diffuse.
            if (isTexture(alphaArg1)) alphaArg1 = (alphaArg1 & ~D3DTA_SELECTMASK) | D3DTA_DIFFUSE;
            if (isTexture(alphaArg2)) alphaArg2 = (alphaArg2 & ~D3DTA_SELECTMASK) | D3DTA_DIFFUSE;
            if (alphaOp == D3DTOP_BLENDTEXTUREALPHA) alphaOp = D3DTOP_SELECTARG1;
        }
        sk.alphaOp = static_cast<uint8_t>(alphaOp);
        sk.alphaArg1 = static_cast<uint8_t>(alphaArg1);
        sk.alphaArg2 = static_cast<uint8_t>(alphaArg2);
        const bool alphaUsesTexture = alphaOp != D3DTOP_DISABLE &&
                                      ((alphaOp != D3DTOP_SELECTARG2 && isTexture(alphaArg1)) ||
                                       (alphaOp != D3DTOP_SELECTARG1 && isTexture(alphaArg2)) ||
                                       alphaOp == D3DTOP_BLENDTEXTUREALPHA);
        sk.usesTexture = bound && (colourUsesTexture || alphaUsesTexture);
        const DWORD index = ss[D3DTSS_TEXCOORDINDEX];
        sk.texCoordSource = static_cast<uint8_t>(std::min<DWORD>(index >> 16, kCameraReflection));
        sk.texCoordSet = static_cast<uint8_t>(index & 0xffff);
        if (k.pretransformed && sk.texCoordSource != kPassThrough) sk.texCoordSource = kPassThrough;
        const DWORD flags = ss[D3DTSS_TEXTURETRANSFORMFLAGS];
        sk.transformCount = static_cast<uint8_t>(std::min<DWORD>(flags & 0xff, 4));
        sk.projected = (flags & D3DTTFF_PROJECTED) != 0;
        k.stageCount = static_cast<uint8_t>(stage + 1);
    }
    key_ = k;
    keyDirty_ = false;
}

void Device::BuildUniforms()
{
    fixed_function::UniformBlock& u = uniforms_;
    const D3DMATRIX worldView = Multiply(world_, view_);
    StoreMatrix(u.worldView, worldView);
    StoreMatrix(u.projection, projection_);
    StoreMatrix(u.normalMatrix, NormalMatrix(worldView));
    for (int stage = 0; stage < kMaxStages; ++stage) StoreMatrix(u.textureMatrix[stage], textureMatrices_[stage]);
    StoreColour(u.materialDiffuse, material_.Diffuse);
    StoreColour(u.materialAmbient, material_.Ambient);
    StoreColour(u.materialSpecular, material_.Specular);
    StoreColour(u.materialEmissive, material_.Emissive);
    StoreColour(u.globalAmbient, renderStates_[D3DRS_AMBIENT]);
    StoreColour(u.textureFactor, renderStates_[D3DRS_TEXTUREFACTOR]);
    u.viewport[0] = static_cast<float>(viewport_.X);
    u.viewport[1] = static_cast<float>(viewport_.Y);
    u.viewport[2] = static_cast<float>(viewport_.Width);
    u.viewport[3] = static_cast<float>(viewport_.Height);
    u.misc[0] = material_.Power;
    u.misc[1] = static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xff);
    // Direct3D samples pixels at integer screen coordinates, OpenGL at .5:
    // vertices move right and down by 63/128 of an output pixel. Just under
    // a half, as Wine does, so that edges through pixel centres keep
    // Direct3D's top-left rule. With an output larger than the back buffer
    // the rule applies to output pixels, as if the back buffer were that large.
    // A supersampled or multisampled picture does not move: each output
    // pixel x then gathers its samples from inside x to x + 1, so that a
    // quad over whole pixels (the overlays, the fades) covers every sample
    // of every pixel it covers and of no other.
    const gl_backend::Rect target = ToTarget(static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                                             static_cast<LONG>(viewport_.Width), static_cast<LONG>(viewport_.Height));
    const float shift = drawTarget_.framebuffer ? 0.0f : 2.0f * 63.0f / 128.0f;
    u.misc[2] = shift / static_cast<float>(std::max(target.width, 1));
    u.misc[3] = shift / static_cast<float>(std::max(target.height, 1));
    // Lights are given in world space; the programs light in camera space.
    int slot = 0;
    for (const LightSlot& entry : lights_) {
        if (!entry.enabled || slot >= kMaxLights) continue;
        const D3DLIGHT8& l = entry.light;
        fixed_function::GpuLight& g = u.lights[slot++];
        StoreColour(g.diffuse, l.Diffuse);
        StoreColour(g.specular, l.Specular);
        StoreColour(g.ambient, l.Ambient);
        const D3DVECTOR& p = l.Position;
        const D3DVECTOR& d = l.Direction;
        for (int i = 0; i < 3; ++i) {
            g.position[i] = p.x * view_.m[0][i] + p.y * view_.m[1][i] + p.z * view_.m[2][i] + view_.m[3][i];
            g.direction[i] = d.x * view_.m[0][i] + d.y * view_.m[1][i] + d.z * view_.m[2][i];
        }
        g.position[3] = l.Range;
        g.direction[3] = static_cast<float>(l.Type);
        g.attenuation[0] = l.Attenuation0;
        g.attenuation[1] = l.Attenuation1;
        g.attenuation[2] = l.Attenuation2;
        g.attenuation[3] = l.Falloff;
        g.spot[0] = std::cos(l.Theta * 0.5f);
        g.spot[1] = std::cos(l.Phi * 0.5f);
        g.spot[2] = g.spot[3] = 0.0f;
    }
    uniformsVersion_ = NextUniformsVersion();
    uniformsDirty_ = false;
}

bool Device::PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT& vertexCount, gl_backend::DrawCall& call)
{
    // More than the caps' MaxPrimitiveCount is refused, as Direct3D does.
    if (primitiveCount > kMaxPrimitiveCount || !VerticesFor(type, primitiveCount, vertexCount)) return false;
    if (VertexSize(vertexShader_) == 0) return false;
    if (keyDirty_) BuildKey();
    if (uniformsDirty_) BuildUniforms();
    const DWORD* rs = renderStates_;
    call = gl_backend::DrawCall{};
    call.key = &key_;
    call.uniforms = &uniforms_;
    call.uniformsVersion = uniformsVersion_;
    gl_backend::RasterState& r = call.raster;
    r.blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    r.sourceBlend = rs[D3DRS_SRCBLEND];
    r.destBlend = rs[D3DRS_DESTBLEND];
    r.blendOp = rs[D3DRS_BLENDOP];
    r.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && params_.EnableAutoDepthStencil;
    r.depthWrite = rs[D3DRS_ZWRITEENABLE] != FALSE;
    r.depthFunc = rs[D3DRS_ZFUNC];
    // While the whole depth buffer still holds the 1.0 of its last clear,
    // every fragment (its depth clipped to 0..1) passes a LESSEQUAL or ALWAYS
    // test; a draw that writes no depth then skips the test, which leaves the
    // picture as it is and saves the renderer reading depth for every pixel.
    if (r.depthTest && depthAllOne_ && !r.depthWrite &&
        (r.depthFunc == D3DCMP_LESSEQUAL || r.depthFunc == D3DCMP_ALWAYS))
        r.depthTest = false;
    if (r.depthTest && r.depthWrite) depthAllOne_ = false;
    r.cullMode = rs[D3DRS_CULLMODE];
    r.fillMode = rs[D3DRS_FILLMODE];
    r.colourWriteMask = rs[D3DRS_COLORWRITEENABLE] & 0xf;
    r.viewport = ToTarget(static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                          static_cast<LONG>(viewport_.Width), static_cast<LONG>(viewport_.Height));
    r.minZ = viewport_.MinZ;
    r.maxZ = viewport_.MaxZ;
    for (int stage = 0; stage < key_.stageCount; ++stage) {
        if (!key_.stages[stage].usesTexture) continue;
        const DWORD* ss = stageStates_[stage];
        call.textures[stage] = textures_[stage]->GlName();
        gl_backend::SamplerState& s = call.samplers[stage];
        s.addressU = ss[D3DTSS_ADDRESSU];
        s.addressV = ss[D3DTSS_ADDRESSV];
        s.magFilter = ss[D3DTSS_MAGFILTER];
        s.minFilter = ss[D3DTSS_MINFILTER];
        s.mipFilter = ss[D3DTSS_MIPFILTER];
        s.maxMipLevel = ss[D3DTSS_MAXMIPLEVEL];
        s.borderColour = ss[D3DTSS_BORDERCOLOR];
        s.maxAnisotropy = s.minFilter == D3DTEXF_ANISOTROPIC ? std::max<DWORD>(ss[D3DTSS_MAXANISOTROPY], 1) : 1;
        picture_quality::ForceFiltering(s, runtime::CurrentOptions());
    }
    call.fvf = vertexShader_;
    call.primitive = static_cast<uint32_t>(type);
    call.count = vertexCount;
    return true;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    gl_backend::DrawCall call;
    UINT vertexCount = 0;
    if (!PrepareDraw(type, primitiveCount, vertexCount, call) || !stream_) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    if (streamStride_ < VertexSize(vertexShader_)) return D3DERR_INVALIDCALL;
    const uint64_t vertices = stream_->Length() / streamStride_;
    if (static_cast<uint64_t>(startVertex) + vertexCount > vertices) return D3DERR_INVALIDCALL;
    call.stride = streamStride_;
    call.vertexBuffer = stream_->GlName();
    call.first = startVertex;
    PrepareTarget(false);
    return gl_backend::Draw(DrawTarget(), call) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                     UINT primitiveCount)
{
    gl_backend::DrawCall call;
    UINT indexCount = 0;
    if (!PrepareDraw(type, primitiveCount, indexCount, call) || !stream_ || !indices_) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    if (streamStride_ < VertexSize(vertexShader_)) return D3DERR_INVALIDCALL;
    const bool index32 = indices_->FvfOrFormat() == D3DFMT_INDEX32;
    const size_t indexSize = index32 ? 4 : 2;
    const uint64_t available = indices_->Length() / indexSize;
    if (static_cast<uint64_t>(startIndex) + indexCount > available) return D3DERR_INVALIDCALL;
    // Every index must name a vertex inside the stream: the GL is not asked
    // to read outside a buffer.
    uint64_t largest = 0;
    const uint8_t* data = indices_->Data() + static_cast<size_t>(startIndex) * indexSize;
    if (index32) {
        const uint32_t* p = reinterpret_cast<const uint32_t*>(data);
        for (UINT i = 0; i < indexCount; ++i) largest = std::max<uint64_t>(largest, p[i]);
    } else {
        const uint16_t* p = reinterpret_cast<const uint16_t*>(data);
        for (UINT i = 0; i < indexCount; ++i) largest = std::max<uint64_t>(largest, p[i]);
    }
    const uint64_t vertices = stream_->Length() / streamStride_;
    if (largest + baseVertexIndex_ >= vertices) {
        d3d8_warn::Unsupported("DrawIndexedPrimitive with an index past the end of the vertex buffer");
        return D3DERR_INVALIDCALL;
    }
    call.stride = streamStride_;
    call.vertexBuffer = stream_->GlName();
    call.indexBuffer = indices_->GlName();
    call.index32 = index32;
    call.indexOffset = static_cast<size_t>(startIndex) * indexSize;
    call.indices = data;
    call.baseVertex = static_cast<int>(baseVertexIndex_);
    PrepareTarget(false);
    return gl_backend::Draw(DrawTarget(), call) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* pVertexStreamZeroData,
                                UINT vertexStreamZeroStride)
{
    gl_backend::DrawCall call;
    UINT vertexCount = 0;
    if (!pVertexStreamZeroData || !PrepareDraw(type, primitiveCount, vertexCount, call)) return D3DERR_INVALIDCALL;
    if (vertexStreamZeroStride < VertexSize(vertexShader_)) return D3DERR_INVALIDCALL;
    // As documented, the call leaves stream 0 unset.
    if (stream_) stream_->Release();
    stream_ = nullptr;
    streamStride_ = 0;
    if (primitiveCount == 0) return D3D_OK;
    call.stride = vertexStreamZeroStride;
    call.userVertices = pVertexStreamZeroData;
    call.userBytes = static_cast<size_t>(vertexCount - 1) * vertexStreamZeroStride + VertexSize(vertexShader_);
    PrepareTarget(false);
    return gl_backend::Draw(DrawTarget(), call) ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace d3d8_device

namespace d3d8_host {

void SetPresentObserver(PresentObserver observer)
{
    d3d8_device::PresentObserverSlot() = std::move(observer);
}

void HidePresents(bool hidden)
{
    d3d8_device::PresentsHidden() = hidden;
}

void SetOverlay(const std::vector<OverlayRect>& rects, int canvasWidth, int canvasHeight)
{
    gl_backend::SetOverlay(rects, canvasWidth, canvasHeight);
}

void PrepareWindowSurfaces()
{
    presentation::SetSurfaceAttributes();
}

bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, int& width, int& height)
{
    auto* d = dynamic_cast<d3d8_device::Device*>(device);
    if (!d) return false;
    const gl_backend::Target& target = d->RenderTarget();
    gl_backend::ReadPixels(target, rgb);
    width = target.width;
    height = target.height;
    return true;
}

void PixelsFilled(uint64_t& pixels, uint64_t& frames)
{
    gl_backend::PixelsFilled(pixels, frames);
}

bool QueueReadBack(IDirect3DDevice8* device)
{
    auto* d = dynamic_cast<d3d8_device::Device*>(device);
    if (!d) return false;
    gl_backend::QueueRead(d->RenderTarget());
    if (gl_backend::ReadPending(d->RenderTarget())) d->PresentedPictureIsRead();
    return true;
}

size_t QueuedReadBacks()
{
    return gl_backend::QueuedReads();
}

bool TakeReadBack(std::vector<uint8_t>& rgbBottomUp, int& width, int& height, bool wait)
{
    return gl_backend::TakeRead(rgbBottomUp, width, height, wait);
}

}  // namespace d3d8_host
