#include "game/words/CrosswordRack.h"

#include <algorithm>

#include "framework/scene/ModifierFrame.h"
#include "framework/scene/Scene.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"

using namespace Qmv2;

namespace {

// Switches a ball and its letter between the settled and the solved face.
void TurnBall(LetterBall& ball, bool solved)
{
    const std::int32_t from = ball.GetBaseFrame() + (solved ? CrosswordRack::kSettledFrame : CrosswordRack::kSolvedFrame);
    const std::int32_t to = ball.GetBaseFrame() + (solved ? CrosswordRack::kSolvedFrame : CrosswordRack::kSettledFrame);
    ball.AddModifier(new ModifierFrame(1, CrosswordRack::kTurnFrameTime, from, to, !solved, false));
    if (Sprite* overlay = ball.GetLetterOverlay()) {
        overlay->AddModifier(new ModifierFrame(1, CrosswordRack::kTurnFrameTime, from, to, !solved, false));
    }
}

}  // namespace

CrosswordRack::CrosswordRack(Scene* owner, const UTF8String& rackLetters, std::int32_t wordLength,
                             std::int32_t rackIndex, const UTF8String* playedText, bool upright)
    : scene(owner), index(rackIndex), letters(rackLetters), length(std::max(wordLength, 0))
{
    for (Utf8Iterator it(letters); it.codePoint != 0; Utf8Advance(it, 1)) {
        SmartPtr<LetterBall> ball(new LetterBall(it.codePoint, false));
        if (scene != nullptr) {
            scene->AddChild(ball.Get());
        }
        ball->SetObsolete(false);
        ball->SetVisible(true);
        balls.PushBack(ball);
    }

    const std::int32_t n = balls.GetCount();
    rackBox = new LetterBox(scene, n, true, true);
    answerBox = new LetterBox(scene, length, true, false);
    for (LetterBox* box : {rackBox.Get(), answerBox.Get()}) {
        if (scene != nullptr) {
            scene->AddChild(box);
        }
        box->SetObsolete(false);
    }
    answerBox->SetPosition(kAnswerX, kAnswerY);
    rackBox->SetPosition(kScreenCentre - static_cast<float>(n) * LetterBox::kSlotPitch * 0.5f, kRackY);
    rackBox->SetVisible(false);

    for (const SmartPtr<LetterBall>& ball : balls) {
        rackBox->PlaceBall(ball.Get(), false, -1, 1.0f);
    }

    if (playedText == nullptr || playedText->IsEmpty()) {
        rackBox->Mivel(letters, false);
        return;
    }
    solved = true;
    solvedText = *playedText;
    for (Utf8Iterator it(solvedText); it.codePoint != 0; Utf8Advance(it, 1)) {
        LetterBall* ball = rackBox->TakeBall(it.codePoint);
        if (ball == nullptr) {
            continue;
        }
        if (!answerBox->PlaceBall(ball, false, -1, 1.0f)) {
            // More letters than slots: the ball waits in the rack box.
            rackBox->PlaceBall(ball, false, -1, 1.0f);
            continue;
        }
        ball->SetFrame(ball->GetBaseFrame() + kSolvedFrame);
        if (Sprite* overlay = ball->GetLetterOverlay()) {
            overlay->SetFrame(ball->GetBaseFrame() + kSolvedFrame);
        }
        // Set, not added: a box turned for a word running down turns its
        // balls back exactly once, however often it is laid out.
        ball->SetRotation(upright ? 0.0f : kUpright);
    }
}

CrosswordRack::~CrosswordRack()
{
    for (const SmartPtr<LetterBall>& ball : balls) {
        ball->SetObsolete(true);
    }
    balls.Clear();
    rackBox->SetObsolete(true);
    answerBox->SetObsolete(true);
}

void CrosswordRack::SetHint(const UTF8String& text)
{
    hint = text;
    answerBox->SetHintWord(text);
}

void CrosswordRack::StopBallAnimations()
{
    for (const SmartPtr<LetterBall>& ball : balls) {
        ball->FinishMove();
    }
}

void CrosswordRack::SetSolved(bool flag)
{
    if (flag) {
        StopBallAnimations();
        solvedText = answerBox->GetText();
    } else {
        solvedText = UTF8String();
    }
    solved = flag;
    for (std::int32_t i = 0; i < answerBox->GetSlotCount(); ++i) {
        if (LetterBall* ball = answerBox->GetBall(i)) {
            TurnBall(*ball, flag);
        }
    }
}
