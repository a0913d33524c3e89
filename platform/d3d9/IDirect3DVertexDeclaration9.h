// The layout of one vertex, made from a list of elements.
#pragma once

#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DVertexDeclaration9 = {0x51a7d308, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x08}};

struct IDirect3DVertexDeclaration9 : IUnknown {
};

// Shader objects are not offered; the type exists so that "no shader" can be set.
struct IDirect3DVertexShader9;
