// The class index's type records of this folder's classes (the records of
// classes still to be written included), in the form of
// framework/core/object/ClassRecords.h. The folder's registration adds
// them to the index at start-up.
#pragma once

#include "framework/core/object/ClassIndex.h"

namespace Qmv2::ClassIndex {

QMV_INDEX_RECORD(iHitMask)
QMV_INDEX_RECORD(GraphicsSettings, Interface)
QMV_INDEX_RECORD(iRenderable, Interface)
QMV_INDEX_RECORD(iClippable, Interface)
QMV_INDEX_RECORD(iRenderTarget, Interface)
QMV_INDEX_RECORD(Image, BaseObject)
QMV_INDEX_RECORD(ParticleManager, BaseObject)
QMV_INDEX_RECORD(iImageLoader, BaseObject)
QMV_INDEX_RECORD(FontLayer, BaseObject)
QMV_INDEX_RECORD(Font, BaseObject)
QMV_INDEX_RECORD(ParticleVertexBuffer, BaseObject)
QMV_INDEX_RECORD(ParticleIndexBuffer, BaseObject)
QMV_INDEX_RECORD(ParticleImageData, BaseObject)
QMV_INDEX_RECORD(ParticleDevice, BaseObject)
QMV_INDEX_RECORD(VertexDeclarationD3D, BaseObject)
QMV_INDEX_RECORD(ImageData, BaseObject)
QMV_INDEX_RECORD(VertexBuffer, BaseObject)
QMV_INDEX_RECORD(IndexBuffer, BaseObject)
QMV_INDEX_RECORD(Graphics, BaseObject, GraphicsSettings)
QMV_INDEX_RECORD(ResourceImage, ResourceObject)
QMV_INDEX_RECORD(ResourceFont, ResourceObject)
QMV_INDEX_RECORD(Mask, ResourceObject)
QMV_INDEX_RECORD(FontBitmap, Font)
QMV_INDEX_RECORD(BufferD3D, iRenderTarget)
QMV_INDEX_RECORD(ImageDataD3D, ImageData)
QMV_INDEX_RECORD(ImageDataBufferD3D, BufferD3D, ImageDataD3D)
QMV_INDEX_RECORD(VertexBufferD3D, VertexBuffer)
QMV_INDEX_RECORD(IndexBufferD3D, IndexBuffer)
QMV_INDEX_RECORD(Renderer, BaseObject, iMessageListener)
QMV_INDEX_RECORD(ImageManager, iTask)
QMV_INDEX_RECORD(RendererD3D, Renderer)

// Every record above, for the folder's registration.
inline constexpr const ClassType* kGraphicsRecords[] = {
    &iHitMask,
    &GraphicsSettings,
    &iRenderable,
    &iClippable,
    &iRenderTarget,
    &Image,
    &ParticleManager,
    &iImageLoader,
    &FontLayer,
    &Font,
    &ParticleVertexBuffer,
    &ParticleIndexBuffer,
    &ParticleImageData,
    &ParticleDevice,
    &VertexDeclarationD3D,
    &ImageData,
    &VertexBuffer,
    &IndexBuffer,
    &Graphics,
    &ResourceImage,
    &ResourceFont,
    &Mask,
    &FontBitmap,
    &BufferD3D,
    &ImageDataD3D,
    &ImageDataBufferD3D,
    &VertexBufferD3D,
    &IndexBufferD3D,
    &Renderer,
    &ImageManager,
    &RendererD3D,
};

}  // namespace Qmv2::ClassIndex
