// The class index: the type record of every class of the program. Records of
// the core's classes that already carry their own (the application, message
// and task classes) are named here by reference; the others are defined here
// or in ClassRecords.h and bound by their classes with QMV_INDEXED_TYPE. The
// game's word tree keeps its record in its own class.
#pragma once

#include <cstdint>
#include <string_view>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/app/MessageHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/app/iInputListener.h"
#include "framework/core/app/iMessageListener.h"
#include "framework/core/app/iTask.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/util/AnchorPoint.h"
#include "framework/core/util/Polygon.h"
#include "framework/core/object/ClassRecords.h"

namespace Qmv2::ClassIndex {

// Records defined by their own classes.
inline constexpr const ClassType& AnchorPoint = ::Qmv2::AnchorPoint::s_Type;
inline constexpr const ClassType& PolygonF = ::Qmv2::PolygonF::s_Type;
inline constexpr const ClassType& iInputListener = ::Qmv2::iInputListener::s_Type;
inline constexpr const ClassType& iMessageListener = ::Qmv2::iMessageListener::s_Type;
inline constexpr const ClassType& MessageData = ::Qmv2::MessageData::s_Type;
inline constexpr const ClassType& MouseMessageData = ::Qmv2::MouseMessageData::s_Type;
inline constexpr const ClassType& KeyboardMessageData = ::Qmv2::KeyboardMessageData::s_Type;
inline constexpr const ClassType& ScrollMessageData = ::Qmv2::ScrollMessageData::s_Type;
inline constexpr const ClassType& Message = ::Qmv2::Message::s_Type;
inline constexpr const ClassType& MessageHandler = ::Qmv2::MessageHandler::s_Type;
inline constexpr const ClassType& iTask = ::Qmv2::iTask::s_Type;
inline constexpr const ClassType& InputHandler = ::Qmv2::InputHandler::s_Type;
inline constexpr const ClassType& TaskManager = ::Qmv2::TaskManager::s_Type;
inline constexpr const ClassType& GameWindow = ::Qmv2::GameWindow::s_Type;
inline constexpr const ClassType& GameWindowWin32 = ::Qmv2::GameWindowWin32::s_Type;
inline constexpr const ClassType& Application = ::Qmv2::Application::s_Type;
inline constexpr const ClassType& FileArchive = ::Qmv2::FileArchive::s_Type;
inline constexpr const ClassType& TemplateMessageDataBool = ::Qmv2::TemplateMessageData<bool>::s_Type;
inline constexpr const ClassType& TemplateMessageDataStrings =
    ::Qmv2::TemplateMessageData<::Qmv2::GFVector<std::string>>::s_Type;

#define QMV_INDEX_RECORD(Name, ...) \
    inline constexpr ::Qmv2::ClassType Name{#Name, ::Qmv2::RecordBases<__VA_ARGS__>};

QMV_INDEX_RECORD(TaskPurge, iTask)
QMV_INDEX_RECORD(TaskTickUpdate, iTask)
QMV_INDEX_RECORD(GameNode, BaseObject)
QMV_INDEX_RECORD(GameTree, GameNode)
QMV_INDEX_RECORD(AnimTree, ModifierContainer)
QMV_INDEX_RECORD(SoundManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(SettingsManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(Renderer, BaseObject, iMessageListener)
QMV_INDEX_RECORD(Sound, GameNode)
QMV_INDEX_RECORD(SoundNode, GameNode)
QMV_INDEX_RECORD(Sprite, GameNode, iRenderable, GraphicsSettings, iClippable)
QMV_INDEX_RECORD(Anagram, Sprite)
QMV_INDEX_RECORD(AnagramTable, Sprite)
QMV_INDEX_RECORD(ClickableSprite, Sprite)
QMV_INDEX_RECORD(CrosswordTable, Sprite)
QMV_INDEX_RECORD(LetterBall, Sprite)
QMV_INDEX_RECORD(LetterBox, Sprite)
QMV_INDEX_RECORD(LabelStyle, Sprite)
QMV_INDEX_RECORD(Label, Sprite)
QMV_INDEX_RECORD(ToolTipLabel, Label)
QMV_INDEX_RECORD(LabelInput, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Slider, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Button, Sprite, iInputListener, iGuiMethod)
QMV_INDEX_RECORD(Switch, Button)
QMV_INDEX_RECORD(ButtonURL, Button)
QMV_INDEX_RECORD(Dialog, Sprite, iInputListener)
QMV_INDEX_RECORD(DialogQuorvel2, Dialog)
QMV_INDEX_RECORD(Scene, Dialog)
QMV_INDEX_RECORD(DialogCongrats, DialogQuorvel2)
QMV_INDEX_RECORD(DialogCredits, DialogQuorvel2)
QMV_INDEX_RECORD(DialogEndGame, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHelp, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHighScore, DialogQuorvel2)
QMV_INDEX_RECORD(DialogMenu, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNameInput, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNextRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPassRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPause, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPlayerSelect, DialogQuorvel2)
QMV_INDEX_RECORD(DialogYesNo, DialogQuorvel2)
QMV_INDEX_RECORD(DialogSettings, DialogQuorvel2)
QMV_INDEX_RECORD(DialogTutorial, DialogQuorvel2)
QMV_INDEX_RECORD(SceneSplash, Scene)
QMV_INDEX_RECORD(Quorvel2Scene, Scene)
QMV_INDEX_RECORD(SceneTransition, Scene)
QMV_INDEX_RECORD(GameScene, Quorvel2Scene)
QMV_INDEX_RECORD(LoadScene, Quorvel2Scene)
QMV_INDEX_RECORD(SelectionScene, Quorvel2Scene)
QMV_INDEX_RECORD(TrophyScene, Quorvel2Scene)
QMV_INDEX_RECORD(BlitzScene, GameScene)
QMV_INDEX_RECORD(CrisscrossScene, GameScene)
QMV_INDEX_RECORD(SceneTransitionAlpha, SceneTransition)
QMV_INDEX_RECORD(SceneTransitionFadeBlack, SceneTransition)
QMV_INDEX_RECORD(SceneManager, iTask)
QMV_INDEX_RECORD(ImageManager, iTask)
QMV_INDEX_RECORD(TaskRender, iTask)
QMV_INDEX_RECORD(Tooltip, iTask, iInputListener)
QMV_INDEX_RECORD(TaskmanagerTimed, TaskManager)
QMV_INDEX_RECORD(RendererD3D, Renderer)

#undef QMV_INDEX_RECORD

// Every record of the index except the word tree's, in a fixed order.
const ClassType* const* AllRecords() noexcept;
std::int32_t RecordCount() noexcept;
// The first record of that name (case-sensitive), or null.
const ClassType* FindRecord(std::string_view name) noexcept;

}  // namespace Qmv2::ClassIndex
