#include "game/Quorvel2Main.h"

#include "game/frontend/Quorvel2GameSettings.h"

#include "framework/core/properties/DataManager.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneManager.h"

namespace Quorvel {

Quorvel2Main::~Quorvel2Main()
{
    Qmv2::Application::Shutdown();
}

void Quorvel2Main::Shutdown()
{
    Qmv2::Application::Shutdown();
}

void Quorvel2Main::BeforeMainLoop()
{
    Qmv2::Application::BeforeMainLoop();
    if (Qmv2::GameTree* tree = Qmv2::GameTree::GetInstance()) {
        // The first child is drawn first: the backdrop goes before every
        // child already there, so everything lies above it.
        auto* backdrop = new Qmv2::BackgroundNode(Qmv2::Color(kBackgroundColor));
        if (Qmv2::GameNode* first = tree->GetFirstChild()) {
            backdrop->InsertBefore(first);
        } else {
            tree->AddChild(backdrop);
        }
    }
}

void Quorvel2Main::RegisterScenes()
{
    Qmv2::SceneManager* scenes = Qmv2::SceneManager::GetInstance();
    if (scenes == nullptr) {
        Qmv2::Platform::Log("The scenes cannot be made before the scene manager\n");
        return;
    }
    for (const char* key :
         {"SCENE_SPLASH", "SCENE_LOAD", "SCENE_SELECTION", "SCENE_TROPHY", "SCENE_GAME", "SCENE_BLITZ"}) {
        // A scene the data does not define is left out, not made blank.
        Qmv2::DataManager* data = Qmv2::DataManager::GetInstance();
        if (data == nullptr || !data->GetScenes()->HasChild(key) || scenes->CreateScene(key, std::string()) == nullptr) {
            Qmv2::Platform::Log("The game data defines no scene %s\n", key);
        }
    }
}

Qmv2::GameSettings* Quorvel2Main::CreateGameSettings()
{
    return new Quorvel2GameSettings();
}

}  // namespace Quorvel
