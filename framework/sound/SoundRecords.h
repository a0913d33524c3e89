// The class index's type records of this folder's classes (the records of
// classes still to be written included), in the form of
// framework/core/object/ClassRecords.h. The folder's registration adds
// them to the index at start-up.
#pragma once

#include "framework/core/object/ClassIndex.h"

namespace Qmv2::ClassIndex {

QMV_INDEX_RECORD(SoundStream, BaseObject)
QMV_INDEX_RECORD(ResourceSound, ResourceObject)
QMV_INDEX_RECORD(ResourceStream, ResourceObject)
QMV_INDEX_RECORD(SoundManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(Sound, GameNode)

// Every record above, for the folder's registration.
inline constexpr const ClassType* kSoundRecords[] = {
    &SoundStream,
    &ResourceSound,
    &ResourceStream,
    &SoundManager,
    &Sound,
};

}  // namespace Qmv2::ClassIndex
