#include "framework/core/CoreClasses.h"

#include "framework/core/data/HighScoreEntry.h"
#include "framework/core/object/ObjectFactory.h"

namespace Qmv2 {

void RegisterCoreClasses()
{
    ObjectFactory::GetInstance()->Register<HighScoreEntry>("HighScoreEntry");
}

}  // namespace Qmv2
