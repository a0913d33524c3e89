// Type records of the class index that need nothing beyond the object model:
// the property tree, the factory, resources, modifiers, fonts, devices and
// the other classes whose record bases lie in this file. The rest of the
// index, with the records built on the application, node and message
// classes, is in ClassIndex.h.
//
// A class whose record is listed in the index binds to it with
// QMV_INDEXED_TYPE(Name) (QMV_INDEXED_RECORD(Name) for an interface root that
// declares GetType itself), so that there is one record per class. The
// records, not the language's class hierarchy, decide type tests, and some
// differ from the hierarchy on purpose (a property is no BaseObject for type
// tests, the game's application record names BaseObject, not Application).
#pragma once

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassType.h"
#include "framework/core/object/Interface.h"
#include "framework/core/object/iGuiMethod.h"

namespace Qmv2 {

// The null-terminated base list of a record, given the base records themselves.
template <const ClassType&... Bases>
inline constexpr const ClassType* RecordBases[sizeof...(Bases) + 1] = {&Bases..., nullptr};

namespace ClassIndex {

#define QMV_INDEX_RECORD(Name, ...) \
    inline constexpr ::Qmv2::ClassType Name{#Name, ::Qmv2::RecordBases<__VA_ARGS__>};

// Records owned by the object model's own classes.
inline constexpr const ClassType& Interface = ::Qmv2::Interface::s_Type;
inline constexpr const ClassType& BaseObject = ::Qmv2::BaseObject::s_Type;
inline constexpr const ClassType& iGuiMethod = ::Qmv2::iGuiMethod::s_Type;

QMV_INDEX_RECORD(AbstractProperty)
QMV_INDEX_RECORD(iHitMask)
QMV_INDEX_RECORD(GraphicsSettings, Interface)
QMV_INDEX_RECORD(iRenderable, Interface)
QMV_INDEX_RECORD(iClippable, Interface)
QMV_INDEX_RECORD(iRenderTarget, Interface)
QMV_INDEX_RECORD(PropertyValue, AbstractProperty)
QMV_INDEX_RECORD(PropertyNode, AbstractProperty)
QMV_INDEX_RECORD(PropertyVector, AbstractProperty)
QMV_INDEX_RECORD(PropertyStore, PropertyNode)
QMV_INDEX_RECORD(Quorvel2Main, BaseObject)
QMV_INDEX_RECORD(ResourceManager, BaseObject)
QMV_INDEX_RECORD(ObjectFactory, BaseObject)
QMV_INDEX_RECORD(MemoryBuffer_t, BaseObject)
QMV_INDEX_RECORD(HighScoreEntry, BaseObject)
QMV_INDEX_RECORD(HighScoreTable, BaseObject)
QMV_INDEX_RECORD(HighScoreManager, BaseObject)
QMV_INDEX_RECORD(PlayerManager, BaseObject)
QMV_INDEX_RECORD(GameSettings, BaseObject)
QMV_INDEX_RECORD(AbstractPainter, BaseObject)
QMV_INDEX_RECORD(AbstractPlayer, BaseObject)
QMV_INDEX_RECORD(Modifier, BaseObject)
QMV_INDEX_RECORD(Image, BaseObject)
QMV_INDEX_RECORD(Lua, BaseObject)
QMV_INDEX_RECORD(ResourceSection, BaseObject)
QMV_INDEX_RECORD(BasicProperties, BaseObject)
QMV_INDEX_RECORD(ParticleManager, BaseObject)
QMV_INDEX_RECORD(CheatInfo, BaseObject)
QMV_INDEX_RECORD(CheatManager, BaseObject)
QMV_INDEX_RECORD(iImageLoader, BaseObject)
QMV_INDEX_RECORD(ResourceObject, BaseObject)
QMV_INDEX_RECORD(SoundStream, BaseObject)
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
QMV_INDEX_RECORD(StyleFormat, BaseObject)
QMV_INDEX_RECORD(Graphics, BaseObject, GraphicsSettings)
QMV_INDEX_RECORD(ModifierSimpleAlpha, Modifier)
QMV_INDEX_RECORD(ModifierDelay, Modifier)
QMV_INDEX_RECORD(ModifierAlpha, Modifier)
QMV_INDEX_RECORD(ModifierBlink, Modifier)
QMV_INDEX_RECORD(ModifierFunction, Modifier)
QMV_INDEX_RECORD(ModifierClipRect, Modifier)
QMV_INDEX_RECORD(ModifierRotation, Modifier)
QMV_INDEX_RECORD(ModifierFrame, Modifier)
QMV_INDEX_RECORD(ModifierSound, Modifier)
QMV_INDEX_RECORD(ModifierContainer, Modifier)
QMV_INDEX_RECORD(ModifierFraction, Modifier)
QMV_INDEX_RECORD(ModifierVisible, Modifier)
QMV_INDEX_RECORD(ModifierSkew, Modifier)
QMV_INDEX_RECORD(ModifierLuaFunction, Modifier)
QMV_INDEX_RECORD(ModifierLuaSendCommand, Modifier)
QMV_INDEX_RECORD(ModifierScale, ModifierFraction)
QMV_INDEX_RECORD(ModifierFractionFunc, ModifierFraction)
QMV_INDEX_RECORD(ModifierLocation, ModifierFraction)
QMV_INDEX_RECORD(ModifierLocationLine, ModifierLocation)
QMV_INDEX_RECORD(ModifierLetterballContainer, ModifierContainer)
QMV_INDEX_RECORD(ResourceImage, ResourceObject)
QMV_INDEX_RECORD(ResourceSound, ResourceObject)
QMV_INDEX_RECORD(ResourceStream, ResourceObject)
QMV_INDEX_RECORD(ResourceFont, ResourceObject)
QMV_INDEX_RECORD(Mask, ResourceObject)
QMV_INDEX_RECORD(ResourceManagerWin32, ResourceManager)
QMV_INDEX_RECORD(Quorvel2GameSettings, GameSettings)
QMV_INDEX_RECORD(Quorvel2ScoreEntry, HighScoreEntry)
QMV_INDEX_RECORD(Quorvel2Player, AbstractPlayer)
QMV_INDEX_RECORD(DialogPainter, AbstractPainter)
QMV_INDEX_RECORD(FontBitmap, Font)
QMV_INDEX_RECORD(FormatNewLine, StyleFormat)
QMV_INDEX_RECORD(FormatColor, StyleFormat)
QMV_INDEX_RECORD(FormatFont, StyleFormat)
QMV_INDEX_RECORD(FormatImage, StyleFormat)
QMV_INDEX_RECORD(FormatWrapStyle, StyleFormat)
QMV_INDEX_RECORD(FormatAlignV, StyleFormat)
QMV_INDEX_RECORD(FormatAlignH, StyleFormat)
QMV_INDEX_RECORD(FormatTab, StyleFormat)
QMV_INDEX_RECORD(FormatWidth, StyleFormat)
QMV_INDEX_RECORD(BufferD3D, iRenderTarget)
QMV_INDEX_RECORD(ImageDataD3D, ImageData)
QMV_INDEX_RECORD(ImageDataBufferD3D, BufferD3D, ImageDataD3D)
QMV_INDEX_RECORD(VertexBufferD3D, VertexBuffer)
QMV_INDEX_RECORD(IndexBufferD3D, IndexBuffer)

#undef QMV_INDEX_RECORD

}  // namespace ClassIndex
}  // namespace Qmv2

// Binds a class to its record in the class index and answers it from GetType.
#define QMV_INDEXED_TYPE(Name)                                                        \
public:                                                                               \
    static constexpr const ::Qmv2::ClassType& s_Type = ::Qmv2::ClassIndex::Name;      \
    const ::Qmv2::ClassType* GetType() const override { return &s_Type; }

// The same for a class that declares GetType itself (an interface root).
#define QMV_INDEXED_RECORD(Name)                                                      \
public:                                                                               \
    static constexpr const ::Qmv2::ClassType& s_Type = ::Qmv2::ClassIndex::Name;
