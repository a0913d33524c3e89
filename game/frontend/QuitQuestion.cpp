#include "game/frontend/QuitQuestion.h"

#include <chrono>
#include <string>
#include <thread>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/Message.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/SceneTransition.h"
#include "game/frontend/DialogYesNo.h"

using namespace Qmv2;

namespace QuitQuestion {

void AskQuit(void*, void*)
{
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* scene = scenes != nullptr ? scenes->GetCurrentScene() : nullptr;
    if (scene != nullptr && scene->IsOfType(&SceneTransition::s_Type)) {
        scene = static_cast<SceneTransition*>(scene)->GetToScene();
    }
    if (scene == nullptr || scene->FindDialog("CTEXT_QUESTION_QUIT") != nullptr) {
        return;
    }
    // The question's pictures and font live in "default": wait for it, but
    // never longer than the limit.
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        resources->LoadSection("default");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDefaultSectionLimit);
        while (!resources->IsLoadQueueDone()) {
            if (std::chrono::steady_clock::now() > deadline) {
                Platform::Log("The default section did not load in time for the quit question\n");
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    DialogYesNo* question = DialogYesNo::Open(scene, "CTEXT_QUESTION_QUIT", "CTEXT_QUIT_HEADER",
                                              nullptr, &OnQuitConfirmed, nullptr, nullptr);
    if (question == nullptr) {
        // Without the question the player could not quit at all.
        Platform::Log("The quit question cannot be made; quitting at once\n");
        OnQuitConfirmed(nullptr, nullptr);
        return;
    }
    scene->ShowDialog(question);
}

void OnQuitConfirmed(void*, void*)
{
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->Post(Message::kQuit);
    }
}

}  // namespace QuitQuestion
