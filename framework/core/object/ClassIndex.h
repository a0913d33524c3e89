// The class index: the type record of every class of the program. Records of
// the core's classes that already carry their own (the application, message
// and task classes) are named here by reference; the core's others are
// defined here or in ClassRecords.h, and those of each higher folder in that
// folder's records file (SceneRecords.h, ...), which its registration adds.
// Classes bind to their records with QMV_INDEXED_TYPE. The game's word tree
// keeps its record in its own class.
#pragma once

#include <cstdint>
#include <span>
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

// The scene's node record stays here: the framework's sound classes, below
// the scene, count as nodes in type tests.
QMV_INDEX_RECORD(GameNode, BaseObject)
QMV_INDEX_RECORD(SettingsManager, BaseObject, iMessageListener)
QMV_INDEX_RECORD(TaskmanagerTimed, TaskManager)

// Adds the records of a higher layer's folder; its registration function
// does at start-up. A record already in the index is not added again.
void AddRecords(std::span<const ClassType* const> records);

// Every record of the index except the word tree's: the core's in a fixed
// order, then those the registrations added, in the order they came.
const ClassType* const* AllRecords() noexcept;
std::int32_t RecordCount() noexcept;
// The first record of that name (case-sensitive), or null.
const ClassType* FindRecord(std::string_view name) noexcept;

}  // namespace Qmv2::ClassIndex
