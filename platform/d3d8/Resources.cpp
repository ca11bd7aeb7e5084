// Textures, vertex buffers and index buffers: locking hands out the processor
// copy, unlocking uploads what may have changed to the OpenGL object.
// Direct3D reference counting; an internal reference on the device.
#include "Device.h"
#include "GlBackend.h"
#include "Hooks.h"

#include <algorithm>
#include <type_traits>

namespace d3d8_device {

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                 unsigned glTexture)
    : device_(device), usage_(usage), format_(format), pool_(pool), glTexture_(glTexture)
{
    device_->RetainInternal();
    ++d3d8_hooks::liveResources;
    const size_t bytesPerTexel = static_cast<size_t>(gl_backend::BytesPerTexel(format));
    for (UINT level = 0; level < levels; ++level) {
        Level entry;
        entry.width = std::max(1u, width >> level);
        entry.height = std::max(1u, height >> level);
        entry.texels = ZeroedBytes(bytesPerTexel * entry.width * entry.height);
        levels_.push_back(std::move(entry));
    }
}

Texture::~Texture()
{
    gl_backend::DestroyTexture(glTexture_);
    --d3d8_hooks::liveResources;
    device_->ReleaseInternal();
}

ULONG Texture::AddRef()
{
    return ++refs_;
}

ULONG Texture::Release()
{
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Texture::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc)
{
    if (level >= levels_.size() || !pDesc) return D3DERR_INVALIDCALL;
    const Level& entry = levels_[level];
    pDesc->Format = format_;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = usage_;
    pDesc->Pool = pool_;
    pDesc->Size = static_cast<UINT>(entry.texels.size());
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->Width = entry.width;
    pDesc->Height = entry.height;
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD flags)
{
    if (level >= levels_.size() || !pLockedRect) return D3DERR_INVALIDCALL;
    Level& entry = levels_[level];
    if (entry.locked) return D3DERR_INVALIDCALL;
    const int bytesPerTexel = gl_backend::BytesPerTexel(format_);
    const INT pitch = static_cast<INT>(entry.width) * bytesPerTexel;
    size_t start = 0;
    if (pRect) {
        const RECT& r = *pRect;
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
            r.right > static_cast<LONG>(entry.width) || r.bottom > static_cast<LONG>(entry.height))
            return D3DERR_INVALIDCALL;
        start = static_cast<size_t>(r.top) * static_cast<size_t>(pitch) +
                static_cast<size_t>(r.left) * static_cast<size_t>(bytesPerTexel);
    }
    entry.locked = true;
    entry.readOnly = (flags & D3DLOCK_READONLY) != 0;
    pLockedRect->Pitch = pitch;
    pLockedRect->pBits = entry.texels.data() + start;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& entry = levels_[level];
    entry.locked = false;
    if (!entry.readOnly)
        gl_backend::UploadTextureLevel(glTexture_, format_, static_cast<int>(level), static_cast<int>(entry.width),
                                       static_cast<int>(entry.height), entry.texels.data());
    return D3D_OK;
}

template <class Interface>
Buffer<Interface>::Buffer(Device* device, UINT length, DWORD usage, DWORD fvfOrFormat, D3DPOOL pool,
                          unsigned glBuffer)
    : device_(device), usage_(usage), fvfOrFormat_(fvfOrFormat), pool_(pool), glBuffer_(glBuffer), data_(length)
{
    device_->RetainInternal();
    ++d3d8_hooks::liveResources;
}

template <class Interface>
Buffer<Interface>::~Buffer()
{
    gl_backend::DestroyBuffer(glBuffer_);
    --d3d8_hooks::liveResources;
    device_->ReleaseInternal();
}

template <class Interface>
ULONG Buffer<Interface>::AddRef()
{
    return ++refs_;
}

template <class Interface>
ULONG Buffer<Interface>::Release()
{
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

template <class Interface>
HRESULT Buffer<Interface>::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

template <>
D3DRESOURCETYPE Buffer<IDirect3DVertexBuffer8>::GetType()
{
    return D3DRTYPE_VERTEXBUFFER;
}

template <>
D3DRESOURCETYPE Buffer<IDirect3DIndexBuffer8>::GetType()
{
    return D3DRTYPE_INDEXBUFFER;
}

template <class Interface>
HRESULT Buffer<Interface>::Lock(UINT offset, UINT size, BYTE** ppbData, DWORD flags)
{
    if (!ppbData) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    const d3d8_hooks::Settings& hooks = d3d8_hooks::Current();
    const bool vertices = GetType() == D3DRTYPE_VERTEXBUFFER;
    if (vertices ? hooks.failVertexBufferLock : hooks.failIndexBufferLock) return D3DERR_INVALIDCALL;
    // Size 0 locks everything from the offset to the end.
    if (offset > data_.size()) return D3DERR_INVALIDCALL;
    const size_t end = size == 0 ? data_.size() : static_cast<size_t>(offset) + size;
    if (end > data_.size()) return D3DERR_INVALIDCALL;
    if (!(flags & D3DLOCK_READONLY)) {
        if (!upload_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = end;
        } else {
            dirtyBegin_ = std::min<size_t>(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, end);
        }
        upload_ = true;
    }
    ++locks_;
    *ppbData = data_.data() + offset;
    return D3D_OK;
}

template <class Interface>
HRESULT Buffer<Interface>::Unlock()
{
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    if (--locks_ == 0 && upload_) {
        gl_backend::UploadBuffer(glBuffer_, std::is_same_v<Interface, IDirect3DIndexBuffer8>, dirtyBegin_, dirtyEnd_ - dirtyBegin_, data_.data() + dirtyBegin_);
        upload_ = false;
    }
    return D3D_OK;
}

template class Buffer<IDirect3DVertexBuffer8>;
template class Buffer<IDirect3DIndexBuffer8>;

}  // namespace d3d8_device
