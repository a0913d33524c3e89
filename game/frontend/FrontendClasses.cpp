#include "game/frontend/FrontendClasses.h"

#include "framework/core/object/ObjectFactory.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/Quorvel2ScoreEntry.h"

void RegisterFrontendClasses()
{
    Qmv2::ObjectFactory* factory = Qmv2::ObjectFactory::GetInstance();
    factory->Register<Quorvel2Player>("Quorvel2Player");
    factory->Register<Quorvel2ScoreEntry>(Quorvel2ScoreEntry::kFactoryName);
}
