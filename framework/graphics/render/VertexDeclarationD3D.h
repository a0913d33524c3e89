// The Direct3D declaration of the framework's 28-byte pre-transformed vertex.
#pragma once

#include "framework/core/object/BaseObject.h"
#include "platform/d3d9/IDirect3DDevice9.h"

namespace Qmv2 {

class VertexDeclarationD3D : public BaseObject {
public:
    QMV_CLASS_TYPE(VertexDeclarationD3D, BaseObject)

    explicit VertexDeclarationD3D(IDirect3DDevice9* device);
    ~VertexDeclarationD3D() override;

    IDirect3DVertexDeclaration9* GetDeclaration() const { return m_Declaration; }

private:
    IDirect3DVertexDeclaration9* m_Declaration = nullptr;
};

}  // namespace Qmv2
