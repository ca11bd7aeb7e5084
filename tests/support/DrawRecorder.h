// A device put in front of the shell's device for a test's scope: every call
// goes on to the real device unchanged, and the recorder keeps BeginScene,
// EndScene and each draw with what it was made under, so that scene tests
// can tell which layers a frame drew, in which order, with which camera and
// colour. The picture cannot be read back while it is in place.
#pragma once

#include <d3d8.h>

#include <string>
#include <vector>

struct RecordedCall {
    // "begin", "end", or the layer a draw belongs to, told by its vertex
    // format and size: "object" (0x152), "scape" (0x112), "grid" (4941
    // vertices: planes or tunnel), "particles" (other indexed 0x142 draws)
    // and "quad" (vertices sent with the call: the overlay and card quads).
    std::string layer;
    UINT vertexCount = 0;
    UINT primitiveCount = 0;
    bool textured = false;  // a texture on stage 0
    D3DMATRIX world{}, view{}, projection{};
    DWORD alphaBlend = 0, destBlend = 0, srcBlend = 0, zWrite = 0, cullMode = 0, lighting = 0, colourOp = 0;
    BOOL lightEnabled = FALSE;
    // The first vertex's colour, of quads and of indexed 0x142 draws (grid,
    // particles); the extent of the vertices, of quads only.
    DWORD diffuse = 0;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// The layers of calls, space-separated ("begin grid object end").
std::string LayersOf(const std::vector<RecordedCall>& calls);
// The calls of one layer, in order.
std::vector<RecordedCall> CallsOf(const std::vector<RecordedCall>& calls, const std::string& layer);

class DrawRecorder : public IDirect3DDevice8 {
public:
    DrawRecorder();
    ~DrawRecorder() override;
    DrawRecorder(const DrawRecorder&) = delete;
    DrawRecorder& operator=(const DrawRecorder&) = delete;

    std::vector<RecordedCall> calls;

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
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

private:
    RecordedCall Snapshot(const std::string& layer, UINT vertexCount, UINT primitiveCount);

    IDirect3DDevice8* real;
    IDirect3DVertexBuffer8* stream = nullptr;
};
