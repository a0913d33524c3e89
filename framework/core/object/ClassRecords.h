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

// Defines the index record `Name` with the records that follow as its bases,
// inside namespace Qmv2::ClassIndex (in this file, ClassIndex.h or the
// records file of a folder, beside its classes).
#define QMV_INDEX_RECORD(Name, ...) \
    inline constexpr ::Qmv2::ClassType Name{#Name, ::Qmv2::RecordBases<__VA_ARGS__>};

namespace ClassIndex {

// Records owned by the object model's own classes.
inline constexpr const ClassType& Interface = ::Qmv2::Interface::s_Type;
inline constexpr const ClassType& BaseObject = ::Qmv2::BaseObject::s_Type;
inline constexpr const ClassType& iGuiMethod = ::Qmv2::iGuiMethod::s_Type;

QMV_INDEX_RECORD(AbstractProperty)
QMV_INDEX_RECORD(PropertyValue, AbstractProperty)
QMV_INDEX_RECORD(PropertyNode, AbstractProperty)
QMV_INDEX_RECORD(PropertyVector, AbstractProperty)
QMV_INDEX_RECORD(PropertyStore, PropertyNode)
QMV_INDEX_RECORD(ResourceManager, BaseObject)
QMV_INDEX_RECORD(ObjectFactory, BaseObject)
QMV_INDEX_RECORD(MemoryBuffer_t, BaseObject)
QMV_INDEX_RECORD(HighScoreEntry, BaseObject)
QMV_INDEX_RECORD(HighScoreTable, BaseObject)
QMV_INDEX_RECORD(HighScoreManager, BaseObject)
QMV_INDEX_RECORD(PlayerManager, BaseObject)
QMV_INDEX_RECORD(GameSettings, BaseObject)
QMV_INDEX_RECORD(AbstractPlayer, BaseObject)
QMV_INDEX_RECORD(Lua, BaseObject)
QMV_INDEX_RECORD(ResourceSection, BaseObject)
QMV_INDEX_RECORD(BasicProperties, BaseObject)
QMV_INDEX_RECORD(CheatInfo, BaseObject)
QMV_INDEX_RECORD(CheatManager, BaseObject)
QMV_INDEX_RECORD(ResourceObject, BaseObject)
QMV_INDEX_RECORD(ResourceManagerWin32, ResourceManager)

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
