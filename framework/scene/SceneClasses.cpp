#include "framework/scene/SceneClasses.h"

#include "framework/core/object/ObjectFactory.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/DialogPainter.h"
#include "framework/scene/Button.h"
#include "framework/scene/ButtonURL.h"
#include "framework/scene/Slider.h"
#include "framework/scene/Switch.h"
#include "framework/scene/SoundNode.h"
#include "framework/scene/SceneTransition.h"
#include "framework/scene/ToolTipLabel.h"
#include "framework/scene/Tooltip.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelInput.h"
#include "framework/scene/LabelStyle.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneCommands.h"
#include "framework/scene/SceneRecords.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

void RegisterSceneClasses()
{
    ClassIndex::AddRecords(ClassIndex::kSceneRecords);
    ObjectFactory* factory = ObjectFactory::GetInstance();
    factory->Register<GameNode>("GameNode");
    factory->Register<Sprite>("Sprite");
    factory->Register<ModifierFrame>("ModifierFrame");
    factory->Register<Dialog>("Dialog");
    factory->Register<DialogPainter>("DialogPainter");
    factory->Register<Label>("Label");
    factory->Register<LabelStyle>("LabelStyle");
    factory->Register<Scene>("Scene");
    factory->Register<Button>("Button");
    factory->Register<ButtonURL>("ButtonURL");
    factory->Register<Switch>("Switch");
    factory->Register<Slider>("Slider");
    factory->Register<LabelInput>("LabelInput");
    factory->Register<Tooltip>("Tooltip");
    factory->Register<SoundNode>("SoundNode");
    factory->Register<SceneTransition>("SceneTransition");
    factory->Register<SceneTransitionAlpha>("AlphaTransition");
    factory->Register<SceneTransitionFadeBlack>("FadeBlackTransition");
    factory->Register<ToolTipLabel>("ToolTipLabel");
    RegisterSceneTrees();
    RegisterSceneCommands();
}

}  // namespace Qmv2
