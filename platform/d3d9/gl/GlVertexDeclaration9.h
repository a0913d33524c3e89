// A vertex declaration: the layout its elements describe.
#pragma once

#include "platform/d3d9/IDirect3DVertexDeclaration9.h"
#include "platform/d3d9/gl/ComObject.h"
#include "platform/d3d9/gl/VertexLayout.h"

namespace platform::d3d9 {

class GlVertexDeclaration9 final : public ComObject<IDirect3DVertexDeclaration9, IID_IDirect3DVertexDeclaration9> {
public:
    explicit GlVertexDeclaration9(const VertexLayout& layout) : layout_(layout) {}
    const VertexLayout& Layout() const { return layout_; }

private:
    VertexLayout layout_;
};

}  // namespace platform::d3d9
