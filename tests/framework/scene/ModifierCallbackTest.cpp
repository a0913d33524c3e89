#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/ModifierFunction.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierSound.h"
#include "framework/scene/Sprite.h"

namespace modifier_callback_test {

using namespace Qmv2;

namespace {

struct Recorder {
    std::vector<std::string> calls;
    void Ping() { calls.push_back("ping"); }
    void Count(int n) { calls.push_back("count " + std::to_string(n)); }
    void Say(const std::string& text) { calls.push_back("say " + text); }
};

void RecordCallback(void* object, void* argument)
{
    auto* calls = static_cast<std::vector<void*>*>(object);
    calls->push_back(argument);
}

TEST(ModifierCallbackTest, FunctionCallsBackOnceWithItself)
{
    std::vector<void*> calls;
    SmartPtr<ModifierFunction> fn(new ModifierFunction(&calls, RecordCallback, "done"));
    EXPECT_EQ(fn->GetName(), "done");
    EXPECT_EQ(fn->GetInterface(&iGuiMethod::s_Type), static_cast<Interface*>(static_cast<iGuiMethod*>(fn.Get())));
    fn->Update(16);
    fn->Finish();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], static_cast<void*>(static_cast<Modifier*>(fn.Get())));
    EXPECT_TRUE(fn->IsFinished());
    const std::string text = fn->ToString();
    EXPECT_NE(text.find("\"done\""), std::string::npos);
    EXPECT_NE(text.find("] on <0x"), std::string::npos);
}

TEST(ModifierCallbackTest, MethodsRunOnceWithTheirArguments)
{
    Recorder r;
    SmartPtr<ModifierMethod<Recorder>> ping(new ModifierMethod<Recorder>(&r, &Recorder::Ping));
    SmartPtr<ModifierMethodParam<Recorder, int>> count(
        new ModifierMethodParam<Recorder, int>(&r, &Recorder::Count, 7));
    std::string word = "hello";
    SmartPtr<ModifierMethodParamRef<Recorder, std::string>> say(
        new ModifierMethodParamRef<Recorder, std::string>(&r, &Recorder::Say, word));
    word = "changed";   // the argument is a copy
    ping->Update(1);
    count->Update(1);
    say->Finish();
    say->Update(1);
    ping->Finish();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"ping", "count 7", "say hello"}));
}

TEST(ModifierCallbackTest, SoundWithoutAResourceFinishesSilently)
{
    SmartPtr<Sprite> s(new Sprite(0.0f, 0.0f, 1.0f, 1.0f));
    SmartPtr<ModifierSound> sound(new ModifierSound("no such sound", "no such section"));
    sound->SetFinishAtOnce(false);
    sound->SetTarget(s.Get());
    EXPECT_EQ(sound->GetSound(), nullptr);
    sound->Update(16);
    EXPECT_TRUE(sound->IsFinished());
    EXPECT_FALSE(sound->IsStarted());
    EXPECT_NE(sound->ToString().find("NULL"), std::string::npos);
}

}  // namespace

}  // namespace modifier_callback_test
