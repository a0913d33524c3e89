#include "game/frontend/SceneSplash.h"

#include <cmath>

#include "framework/graphics/image/ResourceImage.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ImageFrame.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFunction.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"

using namespace Qmv2;

SceneSplash::SceneSplash(PropertyNode* description) : Scene(description) {}

SceneSplash::~SceneSplash() = default;

void SceneSplash::Load()
{
    Scene::Load();
    m_Background = new Sprite(0.0f, 0.0f, static_cast<float>(kScreenWidth), static_cast<float>(kScreenHeight));
    m_Background->SetColor(Color(0xFF000000u));
    // It has no picture: it is drawn as its bounds filled black.
    m_Background->SetSolidFill(true);
    AddComponent(m_Background, false);
    ReadBranding();
    ShowNextImage();
}

void SceneSplash::ReadBranding()
{
    const std::string file = "splash/branding.xml";
    PropertyStore branding(file);
    if (!branding.CanLoad(file) || !branding.Load()) {
        return;
    }
    if (branding.HasChild("SPLASH_FADE_TIME")) {
        m_FadeTime = branding.GetValue("SPLASH_FADE_TIME")->GetInt();
    }
    if (branding.HasChild("SPLASH_DISPLAY_TIME")) {
        m_DisplayTime = branding.GetValue("SPLASH_DISPLAY_TIME")->GetInt();
    }
    if (branding.HasChild("SHOW_ORVENDALE_ANIMATION")) {
        m_ShowAnimation = branding.GetValue("SHOW_ORVENDALE_ANIMATION")->GetBool();
    }
}

std::string SceneSplash::PictureFile(std::int32_t number)
{
    const std::string stem = "splash/splash" + std::to_string(number);
    if (FileExists(stem + ".jpg")) {
        return stem + ".jpg";
    }
    if (FileExists(stem + ".png")) {
        return stem + ".png";
    }
    return std::string();
}

void SceneSplash::Chain(Modifier* modifier)
{
    Modifier::AttachTo(modifier, m_Last != nullptr ? m_Last : GetAnimations());
    m_Last = modifier;
}

void SceneSplash::NextImageCallback(void* object, void*)
{
    static_cast<SceneSplash*>(object)->ShowNextImage();
}

void SceneSplash::ShowNextImage()
{
    // Each step starts a new chain: the previous one has run out when this
    // step is called from its end.
    m_Last = nullptr;
    Image* picture = nullptr;
    const std::string file = PictureFile(m_ImageCount + 1);
    if (!file.empty()) {
        SmartPtr<ResourceImage> resource(new ResourceImage(file, std::string(), 1));
        resource->Load();
        Image* image = resource->HasFailed() ? nullptr : resource->GetFirstImage();
        if (image != nullptr && image->GetFrameCount() > 0) {
            picture = image;
            m_Pictures.PushBack(resource);
        } else {
            Platform::Log("Splash picture %s cannot be read; the splash ends there\n", file.c_str());
        }
    }

    const bool showAnimation = m_ShowAnimation;
    if (showAnimation && m_Background != nullptr) {
        m_Background->SetAlpha(0.0f);
        Chain(new ModifierDelay(m_DisplayTime + kAnimationExtra));
        if (picture != nullptr) {
            auto* cover = new ModifierAlpha(m_FadeTime, 0.0f, 1.0f);
            cover->SetTarget(m_Background);
            Chain(cover);
        }
    }

    if (picture != nullptr) {
        const ImageRect& size = picture->GetFrame(0)->GetPixelRect();
        const float x = std::floor(static_cast<float>(kScreenWidth - size.width) / 2.0f);
        const float y = std::floor(static_cast<float>(kScreenHeight - size.height) / 2.0f);
        auto* sprite = new Sprite(x, y, picture);
        sprite->SetAlpha(0.0f);
        auto* fadeIn = new ModifierAlpha(m_FadeTime, 0.0f, 1.0f);
        fadeIn->SetTarget(sprite);
        Chain(fadeIn);
        Chain(new ModifierDelay(m_DisplayTime));
        auto* fadeOut = new ModifierAlpha(m_FadeTime, 1.0f, 0.0f);
        fadeOut->SetTarget(sprite);
        fadeOut->SetOptions(fadeOut->GetOptions() | Modifier::kOptionRemoveTarget);
        Chain(fadeOut);
        AddComponent(sprite, false);
        ++m_ImageCount;
    }

    m_Finished = !showAnimation && picture == nullptr;
    m_ShowAnimation = false;
    if (!m_Finished) {
        Chain(new ModifierFunction(this, &SceneSplash::NextImageCallback, "ShowNextImage"));
    }
    m_Last = nullptr;
}

void SceneSplash::Update(std::int32_t dt)
{
    Scene::Update(dt);
    if (!m_Finished || m_Switched) {
        return;
    }
    ResourceManager* resources = ResourceManager::GetInstance();
    m_Waited += dt;
    bool loading = resources != nullptr && resources->LoadSection("preloading");
    if (loading && m_Waited > kPreloadLimit) {
        Platform::Log("The preloading section did not load in %d ms; going on without it\n", kPreloadLimit);
        loading = false;
    }
    if (loading) {
        return;
    }
    m_Switched = true;
    if (SceneManager* scenes = SceneManager::GetInstance()) {
        scenes->StartTransition("TRANSITION_SPLASH");
        scenes->RequestScene(scenes->FindScene("SCENE_LOAD"));
    }
}
