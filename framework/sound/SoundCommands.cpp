#include "framework/sound/SoundCommands.h"

#include "framework/core/app/Application.h"
#include "framework/core/data/GameSettings.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/sound/ResourceSound.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "framework/sound/SoundRecords.h"

namespace Qmv2 {

namespace {

bool StartSoundManager(PropertyNode*)
{
    SoundManager* manager = SoundManager::Create();
    SettingsManager* settings = SettingsManager::GetInstance();
    if (settings != nullptr && settings->GetSettings() != nullptr) {
        manager->SetMusicVolume(settings->GetSettings()->GetMusicVolume());
        manager->SetSoundVolume(settings->GetSettings()->GetSoundVolume());
    }
    // A silent game is still a game: the command never stops the start-up.
    return true;
}

}  // namespace

void RegisterSoundCommands()
{
    ClassIndex::AddRecords(ClassIndex::kSoundRecords);
    ObjectFactory::GetInstance()->Register<ResourceSound>("Sound");
    ObjectFactory::GetInstance()->Register<ResourceStream>("Stream");
    Application::RegisterCommand("soundmanager", StartSoundManager);
    Application::RegisterTask(Application::TaskSlot::SoundManager, []() -> iTask* {
        return SoundManager::GetInstance();
    });
    Application::RegisterRelease(Application::ReleaseSlot::SoundManager, [] { SoundManager::ReleaseInstance(); });
}

}  // namespace Qmv2
