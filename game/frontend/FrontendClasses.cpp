#include "game/frontend/FrontendClasses.h"

#include "framework/core/CoreClasses.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/scene/SceneClasses.h"
#include "framework/sound/SoundCommands.h"
#include "game/frontend/DialogCongrats.h"
#include "game/frontend/DialogEndGame.h"
#include "game/frontend/DialogMenu.h"
#include "game/frontend/DialogNameInput.h"
#include "game/frontend/DialogPlayerSelect.h"
#include "game/frontend/DialogHelp.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/DialogQuorvel2.h"
#include "game/frontend/DialogSettings.h"
#include "game/frontend/DialogTutorial.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/FrontendRecords.h"
#include "game/frontend/LoadScene.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/Quorvel2ScoreEntry.h"
#include "game/frontend/RoundFrontEnd.h"
#include "game/frontend/SceneSplash.h"
#include "game/frontend/SelectionScene.h"
#include "game/frontend/TrophyScene.h"
#include "game/words/WordsClasses.h"

void RegisterFrontendClasses()
{
    Qmv2::ClassIndex::AddRecords(Qmv2::ClassIndex::kFrontendRecords);
    Qmv2::ObjectFactory* factory = Qmv2::ObjectFactory::GetInstance();
    factory->Register<Quorvel2Player>("Quorvel2Player");
    factory->Register<Quorvel2ScoreEntry>(Quorvel2ScoreEntry::kFactoryName);
    factory->Register<DialogQuorvel2>("DialogQuorvel2");
    factory->Register<DialogYesNo>("DialogYesNo");
    factory->Register<DialogMenu>("DialogMenu");
    factory->Register<DialogPause>("DialogPause");
    factory->Register<DialogCongrats>("DialogCongrats");
    factory->Register<DialogNextRound>("DialogNextRound");
    factory->Register<DialogEndGame>("DialogEndGame");
    factory->Register<DialogPassRound>("DialogPassRound");
    factory->Register<DialogTutorial>("DialogTutorial");
    factory->Register<DialogSettings>("DialogSettings");
    factory->Register<DialogHelp>("DialogHelp");
    factory->Register<DialogCredits>("DialogCredits");
    factory->Register<DialogHighScore>("DialogHighScore");
    factory->Register<DialogNameInput>("DialogNameInput");
    factory->Register<DialogPlayerSelect>("DialogPlayerSelect");
    factory->Register<SceneSplash>("SceneSplash");
    factory->Register<LoadScene>("LoadScene");
    factory->Register<SelectionScene>("SelectionScene");
    factory->Register<TrophyScene>("TrophyScene");
    RoundFrontEnd::InstallOnce();
}

void RegisterProgramClasses()
{
    Qmv2::RegisterCoreClasses();
    Qmv2::RegisterSoundCommands();
    Qmv2::RegisterGraphicsCommands();
    Qmv2::RegisterSceneClasses();
    RegisterWordsClasses();
    RegisterFrontendClasses();
}
