#include "framework/graphics/render/VertexDeclarationD3D.h"

#include <utility>

namespace Qmv2 {

VertexDeclarationD3D::VertexDeclarationD3D(IDirect3DDevice9* device)
{
    static const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };
    if (device != nullptr) {
        device->CreateVertexDeclaration(elements, &m_Declaration);
    }
}

VertexDeclarationD3D::~VertexDeclarationD3D()
{
    if (IDirect3DVertexDeclaration9* declaration = std::exchange(m_Declaration, nullptr)) {
        declaration->Release();
    }
}

}  // namespace Qmv2
