// The device's resources: textures with their mip levels, vertex buffers and
// index buffers. Each keeps a processor copy of its contents (what Lock hands
// out and what draws check indices against) and the OpenGL object it uploads
// to on Unlock. Each holds an internal reference on its device.
#pragma once

#include <d3d8.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace d3d8_device {

class Device;

// Bytes that start as zero, from calloc: a large block comes straight from
// the system already zeroed, so its pages are first touched by whoever
// fills them rather than by a clearing pass as well.
class ZeroedBytes {
public:
    explicit ZeroedBytes(size_t size = 0) : size_(size), bytes_(static_cast<uint8_t*>(std::calloc(size ? size : 1, 1)))
    {
        if (!bytes_) throw std::bad_alloc();
    }
    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    size_t size_;
    std::unique_ptr<uint8_t, Free> bytes_;
};

class Texture final : public IDirect3DTexture8 {
public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
            unsigned glTexture);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    unsigned GlName() const { return glTexture_; }

private:
    ~Texture() override;

    struct Level {
        UINT width, height;
        ZeroedBytes texels;  // rows top first, tightly packed
        bool locked = false;
        bool readOnly = false;
    };
    ULONG refs_ = 1;
    Device* device_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    unsigned glTexture_;
    std::vector<Level> levels_;
};

// A vertex or index buffer; `Interface` names which.
template <class Interface>
class Buffer final : public Interface {
public:
    Buffer(Device* device, UINT length, DWORD usage, DWORD fvfOrFormat, D3DPOOL pool, unsigned glBuffer);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT offset, UINT size, BYTE** ppbData, DWORD flags) override;
    HRESULT Unlock() override;

    unsigned GlName() const { return glBuffer_; }
    UINT Length() const { return static_cast<UINT>(data_.size()); }
    const uint8_t* Data() const { return data_.data(); }
    DWORD FvfOrFormat() const { return fvfOrFormat_; }

private:
    ~Buffer() override;

    ULONG refs_ = 1;
    Device* device_;
    DWORD usage_;
    DWORD fvfOrFormat_;  // the FVF code of a vertex buffer, the D3DFORMAT of an index buffer
    D3DPOOL pool_;
    unsigned glBuffer_;
    ZeroedBytes data_;
    int locks_ = 0;
    bool upload_ = false;
    size_t dirtyBegin_ = 0, dirtyEnd_ = 0;
};

using VertexBuffer = Buffer<IDirect3DVertexBuffer8>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer8>;

}  // namespace d3d8_device
