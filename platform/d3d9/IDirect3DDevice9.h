// The drawing device: states, resources, scenes and presentation.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IDirect3DIndexBuffer9.h"
#include "platform/d3d9/IDirect3DSurface9.h"
#include "platform/d3d9/IDirect3DTexture9.h"
#include "platform/d3d9/IDirect3DVertexBuffer9.h"
#include "platform/d3d9/IDirect3DVertexDeclaration9.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DDevice9 = {0x51a7d302, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x02}};

struct IDirect3DDevice9 : IUnknown {
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const void* dirtyRegion) = 0;
    virtual HRESULT EvictManagedResources() = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;

    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes,
                                    UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* indices) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                         UINT numVertices, UINT startIndex, UINT primitiveCount) = 0;

    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) = 0;
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                  IDirect3DSurface9* destination, const POINT* destPoint) = 0;
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** declaration) = 0;
};
