// Objects made from entries of the files the program wrote earlier. Those
// files are untrusted: an entry's type word must make an object of the
// expected class, or nothing is made.
#pragma once

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

// The object the factory makes from the entry's type word, when it is of
// class `expected`; null (with a log line) for the basic value words, which
// would change the basic properties, for unknown words and for other classes.
SmartPtr<BaseObject> CreateStoredObject(AbstractProperty* entry, const ClassType& expected);

}  // namespace Qmv2
