#include "game/words/ClassicRack.h"

#include <algorithm>
#include <limits>

#include "framework/scene/Scene.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"

using namespace Qmv2;

ClassicRack::ClassicRack(Scene* owner, const UTF8String& word, const AnagramTable::WordList* answers,
                         const AnagramTable::WordList* accepted, std::int32_t rackIndex, bool smallBalls,
                         bool isSolved)
    : solved(isSolved), scene(owner), index(rackIndex), sourceWord(word)
{
    table = new AnagramTable(0.0f, 0.0f);
    if (scene != nullptr) {
        scene->AddChild(table.Get());
    }
    table->Build(answers, accepted);
    FitTable(std::numeric_limits<float>::infinity());

    for (Utf8Iterator it(sourceWord); it.codePoint != 0; Utf8Advance(it, 1)) {
        SmartPtr<LetterBall> ball(new LetterBall(it.codePoint, smallBalls));
        ball->SetVisible(true);
        if (scene != nullptr) {
            scene->AddChild(ball.Get());
        }
        balls.PushBack(ball);
    }

    const std::int32_t slots = balls.GetCount();
    const float left = kScreenCentre - static_cast<float>(slots) * LetterBox::kSlotPitch / 2.0f;
    rackBox = new LetterBox(scene, slots, false, true);
    answerBox = new LetterBox(scene, slots, false, false);
    answerBox->SetPosition(left, kAnswerRowTop);
    rackBox->SetPosition(left, kRackRowTop);
    if (scene != nullptr) {
        scene->AddChild(answerBox.Get());
        scene->AddChild(rackBox.Get());
    }
    for (const SmartPtr<LetterBall>& ball : balls) {
        rackBox->PlaceBall(ball.Get(), false, -1, 1.0f);
    }
}

ClassicRack::~ClassicRack()
{
    for (const SmartPtr<LetterBall>& ball : balls) {
        ball->SetObsolete(true);
    }
    table->SetObsolete(true);
    rackBox->SetObsolete(true);
    answerBox->SetObsolete(true);
}

void ClassicRack::FitTable(float bottom)
{
    // Long words in every column can lay the table out wider than the
    // window, eight rows taller than the room above the letter rows.
    const float width = table->GetTableWidth();
    const float height = table->GetTableHeight();
    const float inset = kTableFrame + kTableMargin;
    float scale = 1.0f;
    if (width > 0.0f) {
        scale = std::min(scale, 2.0f * (kScreenCentre - inset) / width);
    }
    if (height > 0.0f) {
        scale = std::min(scale, (bottom - inset - kTableTop) / height);
    }
    table->SetScale(scale);
    table->SetPosition(kScreenCentre - width * scale / 2.0f, kTableTop);
}

void ClassicRack::FinishMoves()
{
    for (const SmartPtr<LetterBall>& ball : balls) {
        ball->FinishMove();
    }
}
