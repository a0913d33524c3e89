#include "game/QuorvelApplication.h"

#include "game/frontend/Quorvel2GameSettings.h"

#include "framework/core/util/Color.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/scene/GameTree.h"

namespace Quorvel {

void QuorvelApplication::BeforeMainLoop()
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

Qmv2::GameSettings* QuorvelApplication::CreateGameSettings()
{
    return new Quorvel2GameSettings();
}

}  // namespace Quorvel
