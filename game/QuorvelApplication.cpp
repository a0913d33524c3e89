#include "game/QuorvelApplication.h"

#include "framework/core/util/Color.h"
#include "framework/graphics/draw/BackgroundNode.h"
#include "framework/scene/GameTree.h"

namespace Quorvel {

void QuorvelApplication::BeforeMainLoop()
{
    Qmv2::Application::BeforeMainLoop();
    if (Qmv2::GameTree* tree = Qmv2::GameTree::GetInstance()) {
        // The first child is drawn first: everything added later lies above it.
        Qmv2::GameNode* first = tree->GetFirstChild();
        auto* backdrop = new Qmv2::BackgroundNode(Qmv2::Color(kBackgroundColor));
        tree->AddChild(backdrop);
        // AddChild appends: move the earlier children behind the backdrop.
        // Each keeps the reference its old link held until AddChild takes one.
        for (Qmv2::GameNode* node = first; node != nullptr && node != backdrop;) {
            Qmv2::GameNode* next = node->GetNextSibling();
            node->Unlink();
            tree->AddChild(node);
            node->Release();
            node = next;
        }
    }
}

}  // namespace Quorvel
