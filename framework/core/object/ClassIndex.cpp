#include "framework/core/object/ClassIndex.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace Qmv2::ClassIndex {

namespace {

constexpr const ClassType* kRecords[] = {
    &Interface,
    &BaseObject,
    &iGuiMethod,
    &AbstractProperty,
    &PropertyValue,
    &PropertyNode,
    &PropertyVector,
    &PropertyStore,
    &ResourceManager,
    &ObjectFactory,
    &MemoryBuffer_t,
    &HighScoreEntry,
    &HighScoreTable,
    &HighScoreManager,
    &PlayerManager,
    &GameSettings,
    &AbstractPlayer,
    &Lua,
    &ResourceSection,
    &BasicProperties,
    &CheatInfo,
    &CheatManager,
    &ResourceObject,
    &ResourceManagerWin32,
    &AnchorPoint,
    &PolygonF,
    &iInputListener,
    &iMessageListener,
    &MessageData,
    &MouseMessageData,
    &KeyboardMessageData,
    &ScrollMessageData,
    &Message,
    &MessageHandler,
    &iTask,
    &InputHandler,
    &TaskManager,
    &GameWindow,
    &GameWindowWin32,
    &Application,
    &FileArchive,
    &GameNode,
    &TemplateMessageDataBool,
    &TemplateMessageDataStrings,
    &SettingsManager,
    &TaskmanagerTimed,
};

// The core's records, then what the registrations added.
std::vector<const ClassType*>& Records()
{
    static std::vector<const ClassType*> records(std::begin(kRecords), std::end(kRecords));
    return records;
}

}  // namespace

void AddRecords(std::span<const ClassType* const> records)
{
    std::vector<const ClassType*>& all = Records();
    for (const ClassType* record : records) {
        if (record != nullptr && std::find(all.begin(), all.end(), record) == all.end()) {
            all.push_back(record);
        }
    }
}

const ClassType* const* AllRecords() noexcept
{
    return Records().data();
}

std::int32_t RecordCount() noexcept
{
    return static_cast<std::int32_t>(Records().size());
}

const ClassType* FindRecord(std::string_view name) noexcept
{
    for (const ClassType* record : Records()) {
        if (name == record->GetName()) {
            return record;
        }
    }
    return nullptr;
}

}  // namespace Qmv2::ClassIndex
