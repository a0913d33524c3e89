#include "game/frontend/DialogCongrats.h"

#include <cmath>
#include <numbers>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/Scene.h"
#include "game/words/LetterBall.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

namespace {

constexpr std::int32_t kFirstDelay = 500;
constexpr std::int32_t kDelayStep = 200;
constexpr int kParticlesPerBall = 8;
constexpr std::int32_t kFlightTime = 700;

std::int32_t NonNegativeRemainder(std::int32_t value, std::int32_t divisor)
{
    const std::int32_t r = value % divisor;
    return r < 0 ? r + divisor : r;
}

Modifier* SceneAnimations(DialogQuorvel2& dialog)
{
    Scene* scene = dialog.GetOwnerScene();
    return scene != nullptr ? scene->GetAnimations() : nullptr;
}

}  // namespace

void PlayLetterBalls(Dialog& dialog, Modifier* animations, const std::string& textKey)
{
    BasicProperties* texts = BasicProperties::GetInstance();
    const std::string text = texts != nullptr ? texts->GetString(textKey) : std::string();
    ResourceManager* resources = ResourceManager::GetInstance();
    Image* particles = resources != nullptr ? resources->GetImage("IMAGE_PARTICLEBALL", "gamescene") : nullptr;
    ImageFrame* particle = particles != nullptr ? particles->GetFirstFrame() : nullptr;
    static Rand fallback;
    Rand& random = Random::GetInstance() != nullptr ? static_cast<Rand&>(*Random::GetInstance()) : fallback;

    std::int32_t delay = kFirstDelay;
    std::int32_t placeholder = 0;
    for (const char c : text) {
        GameNode* spot = nullptr;
        if (c != ' ') {
            spot = dialog.FindChild(std::to_string(placeholder), true);
            ++placeholder;
        }
        if (spot != nullptr) {
            const float x = spot->GetX();
            const float y = spot->GetY();
            auto* ball = new LetterBall(static_cast<unsigned char>(c), false);
            ball->SetPosition(x, y);
            ball->PlayLoadAnimation(delay, true);
            // The ball's sheet has no letters: the letter shows once it has rolled in.
            ball->AddModifier(new ModifierMethod<LetterBall>(ball, &LetterBall::ShowOverlay));
            dialog.AddChild(ball);
            for (int i = 0; i < kParticlesPerBall; ++i) {
                auto* dot = new Sprite(x, y, nullptr);
                if (particle != nullptr) {
                    dot->SetImageFrame(particle);
                }
                dot->SetAlpha(1.0f);
                dialog.AddChild(dot);
                dot->InsertBefore(ball);
                const float angle = random.NextFloat() * 2.0f * std::numbers::pi_v<float>;
                const auto rx = static_cast<float>(75 + NonNegativeRemainder(random.NextInt(), 50));
                const auto ry = static_cast<float>(75 + NonNegativeRemainder(random.NextInt(), 50));
                const std::int32_t fadeTime = 600 + NonNegativeRemainder(random.NextInt(), 90);
                if (animations == nullptr) {
                    continue;
                }
                auto* wait = new ModifierDelay(delay);
                Modifier::AttachTo(wait, animations);
                auto* fade = new ModifierAlpha(fadeTime, 1.0f, 0.0f);
                fade->SetTarget(dot);
                Modifier::AttachTo(fade, wait);
                auto* fly = new ModifierLocationLine(kFlightTime, x + rx * std::sin(angle), y + ry * std::cos(angle),
                                                     false, false);
                fly->SetTarget(dot);
                Modifier::AttachTo(fly, wait);
            }
        }
        delay += kDelayStep;
    }
}

DialogCongrats::DialogCongrats(PropertyNode* description) : DialogQuorvel2(description)
{
    Bind("BUTTON_OK", &DialogCongrats::OkButton);
}

void DialogCongrats::Show()
{
    // The congratulation follows a score that has just entered its table:
    // store the tables now, so that the score outlives a crash or a kill
    // before the orderly exit, which is the only other time they are written.
    if (HighScoreManager* scores = HighScoreManager::GetInstance()) {
        scores->Save();
    }
    DialogQuorvel2::Show();
    FadeIn();
    PlayLetterBalls(*this, SceneAnimations(*this), "TEXT_CONGRATS_LETTERBALLS");
}

bool DialogCongrats::OnKeyDown(KeyboardMessageData* data)
{
    if (!IsOkKey(data)) {
        return false;
    }
    OnOk();
    return true;
}

void DialogCongrats::OkButton(void* target, void*)
{
    static_cast<DialogCongrats*>(static_cast<DialogQuorvel2*>(target))->OnOk();
}

void DialogCongrats::OnOk()
{
    if (iDialogOwnerScene* game = GetOwnerGameScene()) {
        game->ShowHighScores();
    }
    HideSelf(AsTarget(), nullptr);
}

DialogNextRound::DialogNextRound(PropertyNode* description)
    : DialogQuorvel2(description), m_Body(FindLabel("BODY_TEXT"))
{
    Bind("BUTTON_OK", &DialogNextRound::OkButton);
}

void DialogNextRound::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
    PlayLetterBalls(*this, SceneAnimations(*this), "TEXT_NEXT_ROUND_LETTERBALLS");
}

void DialogNextRound::SetWordOfTheDay()
{
    m_WordOfTheDay = true;
    SetLabelText(m_Body, "TEXT_NEXT_ROUND_BODY_WOTD");
}

bool DialogNextRound::OnKeyDown(KeyboardMessageData* data)
{
    if (!IsOkKey(data)) {
        return false;
    }
    OnOk(nullptr);
    return true;
}

void DialogNextRound::OkButton(void* target, void* component)
{
    static_cast<DialogNextRound*>(static_cast<DialogQuorvel2*>(target))->OnOk(static_cast<BaseObject*>(component));
}

void DialogNextRound::OnOk(BaseObject* component)
{
    // Held: the scene's next round closes this dialog.
    SmartPtr<DialogNextRound> keep(this);
    if (iDialogOwnerScene* game = GetOwnerGameScene()) {
        if (m_WordOfTheDay) {
            game->SaveAndQuit(this, component);
        } else {
            game->OnNextRoundConfirmed();
        }
    }
    HideSelf(AsTarget(), nullptr);
}
