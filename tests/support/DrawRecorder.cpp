// The recording device in front of the shell's device (see DrawRecorder.h).
#include "DrawRecorder.h"

#include "SharedDevice.h"

#include <algorithm>
#include <cstring>

DrawRecorder::DrawRecorder() : real(g_device)
{
    g_device = this;
}

DrawRecorder::~DrawRecorder()
{
    g_device = real;
}

std::string LayersOf(const std::vector<RecordedCall>& calls)
{
    std::string text;
    for (const RecordedCall& call : calls) text += (text.empty() ? "" : " ") + call.layer;
    return text;
}

std::vector<RecordedCall> CallsOf(const std::vector<RecordedCall>& calls, const std::string& layer)
{
    std::vector<RecordedCall> found;
    for (const RecordedCall& call : calls)
        if (call.layer == layer) found.push_back(call);
    return found;
}

RecordedCall DrawRecorder::Snapshot(const std::string& layer, UINT vertexCount, UINT primitiveCount)
{
    RecordedCall call;
    call.layer = layer;
    call.vertexCount = vertexCount;
    call.primitiveCount = primitiveCount;
    IDirect3DBaseTexture8* texture = nullptr;
    real->GetTexture(0, &texture);
    call.textured = texture != nullptr;
    if (texture) texture->Release();
    real->GetTransform(D3DTS_WORLD, &call.world);
    real->GetTransform(D3DTS_VIEW, &call.view);
    real->GetTransform(D3DTS_PROJECTION, &call.projection);
    real->GetRenderState(D3DRS_ALPHABLENDENABLE, &call.alphaBlend);
    real->GetRenderState(D3DRS_DESTBLEND, &call.destBlend);
    real->GetRenderState(D3DRS_SRCBLEND, &call.srcBlend);
    real->GetRenderState(D3DRS_ZWRITEENABLE, &call.zWrite);
    real->GetRenderState(D3DRS_CULLMODE, &call.cullMode);
    real->GetRenderState(D3DRS_LIGHTING, &call.lighting);
    real->GetTextureStageState(0, D3DTSS_COLOROP, &call.colourOp);
    real->GetLightEnable(0, &call.lightEnabled);
    return call;
}

HRESULT DrawRecorder::BeginScene()
{
    calls.push_back(RecordedCall{"begin"});
    return real->BeginScene();
}

HRESULT DrawRecorder::EndScene()
{
    calls.push_back(RecordedCall{"end"});
    return real->EndScene();
}

HRESULT DrawRecorder::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                           UINT primitiveCount)
{
    DWORD fvf = 0;
    real->GetVertexShader(&fvf);
    const char* layer = fvf == 0x152 ? "object" : fvf == 0x112 ? "scape" : numVertices == 4941 ? "grid" : "particles";
    RecordedCall call = Snapshot(layer, numVertices, primitiveCount);
    BYTE* data = nullptr;
    if (fvf == 0x142 && stream && SUCCEEDED(stream->Lock(0, 0, &data, D3DLOCK_READONLY))) {
        std::memcpy(&call.diffuse, data + 12, sizeof(DWORD));
        stream->Unlock();
    }
    calls.push_back(call);
    return real->DrawIndexedPrimitive(type, minIndex, numVertices, startIndex, primitiveCount);
}

HRESULT DrawRecorder::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* pVertexStreamZeroData,
                                      UINT vertexStreamZeroStride)
{
    const UINT vertexCount = type == D3DPT_TRIANGLELIST ? 3 * primitiveCount : primitiveCount + 2;
    RecordedCall call = Snapshot("quad", vertexCount, primitiveCount);
    const auto* bytes = static_cast<const unsigned char*>(pVertexStreamZeroData);
    for (UINT i = 0; bytes && i < vertexCount; ++i) {
        float xy[2];
        std::memcpy(xy, bytes + i * vertexStreamZeroStride, sizeof(xy));
        call.minX = i == 0 ? xy[0] : std::min(call.minX, xy[0]);
        call.maxX = i == 0 ? xy[0] : std::max(call.maxX, xy[0]);
        call.minY = i == 0 ? xy[1] : std::min(call.minY, xy[1]);
        call.maxY = i == 0 ? xy[1] : std::max(call.maxY, xy[1]);
    }
    // The diffuse colour follows the position in the 0x142 format.
    if (bytes) std::memcpy(&call.diffuse, bytes + 12, sizeof(DWORD));
    calls.push_back(call);
    stream = nullptr;  // the call leaves stream 0 unset
    return real->DrawPrimitiveUP(type, primitiveCount, pVertexStreamZeroData, vertexStreamZeroStride);
}

HRESULT DrawRecorder::TestCooperativeLevel() { return real->TestCooperativeLevel(); }
HRESULT DrawRecorder::Present(const RECT* a, const RECT* b, HWND c, const void* d) { return real->Present(a, b, c, d); }
HRESULT DrawRecorder::CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DTexture8** t)
{
    return real->CreateTexture(w, h, l, u, f, p, t);
}
HRESULT DrawRecorder::CreateVertexBuffer(UINT l, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer8** b)
{
    return real->CreateVertexBuffer(l, u, f, p, b);
}
HRESULT DrawRecorder::CreateIndexBuffer(UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DIndexBuffer8** b)
{
    return real->CreateIndexBuffer(l, u, f, p, b);
}
HRESULT DrawRecorder::Clear(DWORD n, const D3DRECT* r, DWORD f, D3DCOLOR c, float z, DWORD s)
{
    return real->Clear(n, r, f, c, z, s);
}
HRESULT DrawRecorder::SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX* m) { return real->SetTransform(s, m); }
HRESULT DrawRecorder::GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) { return real->GetTransform(s, m); }
HRESULT DrawRecorder::SetViewport(const D3DVIEWPORT8* v) { return real->SetViewport(v); }
HRESULT DrawRecorder::GetViewport(D3DVIEWPORT8* v) { return real->GetViewport(v); }
HRESULT DrawRecorder::SetMaterial(const D3DMATERIAL8* m) { return real->SetMaterial(m); }
HRESULT DrawRecorder::GetMaterial(D3DMATERIAL8* m) { return real->GetMaterial(m); }
HRESULT DrawRecorder::SetLight(DWORD i, const D3DLIGHT8* l) { return real->SetLight(i, l); }
HRESULT DrawRecorder::GetLight(DWORD i, D3DLIGHT8* l) { return real->GetLight(i, l); }
HRESULT DrawRecorder::LightEnable(DWORD i, BOOL e) { return real->LightEnable(i, e); }
HRESULT DrawRecorder::GetLightEnable(DWORD i, BOOL* e) { return real->GetLightEnable(i, e); }
HRESULT DrawRecorder::SetRenderState(D3DRENDERSTATETYPE s, DWORD v) { return real->SetRenderState(s, v); }
HRESULT DrawRecorder::GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) { return real->GetRenderState(s, v); }
HRESULT DrawRecorder::GetTexture(DWORD s, IDirect3DBaseTexture8** t) { return real->GetTexture(s, t); }
HRESULT DrawRecorder::SetTexture(DWORD s, IDirect3DBaseTexture8* t) { return real->SetTexture(s, t); }
HRESULT DrawRecorder::GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD* v)
{
    return real->GetTextureStageState(s, t, v);
}
HRESULT DrawRecorder::SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v)
{
    return real->SetTextureStageState(s, t, v);
}
HRESULT DrawRecorder::DrawPrimitive(D3DPRIMITIVETYPE t, UINT s, UINT n) { return real->DrawPrimitive(t, s, n); }
HRESULT DrawRecorder::SetVertexShader(DWORD h) { return real->SetVertexShader(h); }
HRESULT DrawRecorder::GetVertexShader(DWORD* h) { return real->GetVertexShader(h); }
HRESULT DrawRecorder::SetStreamSource(UINT n, IDirect3DVertexBuffer8* b, UINT s)
{
    if (n == 0) stream = b;
    return real->SetStreamSource(n, b, s);
}
HRESULT DrawRecorder::SetIndices(IDirect3DIndexBuffer8* b, UINT v) { return real->SetIndices(b, v); }
