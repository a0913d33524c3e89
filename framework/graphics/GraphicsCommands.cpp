#include "framework/graphics/GraphicsCommands.h"

#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/image/Mask.h"
#include "framework/graphics/image/ResourceImage.h"
#include "framework/graphics/particles/ParticleManager.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/graphics/text/ResourceFont.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace Qmv2 {

namespace {

bool StartRenderer(PropertyNode* command)
{
    if (GameWindow::GetInstance() == nullptr) {
        Platform::Log("Start-up command renderer needs the game window first; skipped\n");
        return true;
    }
    const bool hasVertices = command->HasChild("vertices");
    const std::int32_t code = Renderer::Create(command->GetValue("width")->GetInt(),
                                               command->GetValue("height")->GetInt(), hasVertices,
                                               hasVertices ? command->GetValue("vertices")->GetInt() : 0);
    return code == Renderer::kNone;
}

void ReleaseRenderer()
{
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->ReleaseResources();
    }
    Renderer::ReleaseInstance();
}

}  // namespace

void RegisterGraphicsCommands()
{
    // The graphics library is part of the system the program runs on: it can
    // be loaded by name from the first start-up command on (the hardware check
    // loads it before the renderer does).
    platform::d3d9::RegisterDirect3D9Library();
    ClassIndex::AddRecords(ClassIndex::kGraphicsRecords);
    ObjectFactory::GetInstance()->Register<ResourceImage>("Image");
    ObjectFactory::GetInstance()->Register<Mask>("Mask");
    ObjectFactory::GetInstance()->Register<ResourceFont>("Font");
    Application::RegisterCommand("renderer", StartRenderer);
    Application::RegisterCommand("imagemanager", [](PropertyNode*) {
        ImageManager::Create();
        return true;
    });
    Application::RegisterTask(Application::TaskSlot::ImageManager, []() -> iTask* {
        return ImageManager::GetInstance();
    });
    Application::RegisterRelease(Application::ReleaseSlot::ImageManager, [] { ImageManager::ReleaseInstance(); });
    Application::RegisterRelease(Application::ReleaseSlot::Renderer, ReleaseRenderer);
    Application::RegisterCommand("particlemanager", [](PropertyNode*) {
        ParticleManager::Create();
        return true;
    });
    Application::RegisterRelease(Application::ReleaseSlot::ParticleManager, [] { ParticleManager::ReleaseInstance(); });
}

}  // namespace Qmv2
