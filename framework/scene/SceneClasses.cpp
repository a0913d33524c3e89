#include "framework/scene/SceneClasses.h"

#include "framework/core/object/ObjectFactory.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/DialogPainter.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelStyle.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneCommands.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

void RegisterSceneClasses()
{
    ObjectFactory* factory = ObjectFactory::GetInstance();
    factory->Register<GameNode>("GameNode");
    factory->Register<Sprite>("Sprite");
    factory->Register<ModifierFrame>("ModifierFrame");
    factory->Register<Dialog>("Dialog");
    factory->Register<DialogPainter>("DialogPainter");
    factory->Register<Label>("Label");
    factory->Register<LabelStyle>("LabelStyle");
    factory->Register<Scene>("Scene");
    RegisterSceneTrees();
    RegisterSceneCommands();
}

}  // namespace Qmv2
