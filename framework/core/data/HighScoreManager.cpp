#include "framework/core/data/HighScoreManager.h"

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FileProblems.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "platform/win32/WinTime.h"

namespace Qmv2 {

namespace {

constexpr std::int32_t kUidLimit = 2147483647;

std::int32_t DrawUid()
{
    if (Random* random = Random::GetInstance()) {
        return random->Range(0, kUidLimit);
    }
    Rand local(static_cast<std::int64_t>(timeGetTime()));
    return local.Range(0, kUidLimit);
}

}  // namespace

HighScoreManager* HighScoreManager::Create(const std::string& version)
{
    std::string effective = version;
    if (effective.empty()) {
        if (BasicProperties* basic = BasicProperties::GetInstance()) {
            effective = basic->GetString("HIGHSCORES_VERSION");
        }
    }
    auto* manager = new HighScoreManager(effective);
    SetInstance(manager);
    return manager;
}

HighScoreManager::HighScoreManager(const std::string& version) : m_Version(version), m_Uid(DrawUid()) {}

std::string HighScoreManager::FilePath()
{
    const std::string& data = GameDataFolder();
    if (data.empty()) {
        return std::string();
    }
    const std::string folder = data + "/players";
    CreateDirectoryChain(folder);
    return folder + "/scores.xml";
}

HighScoreTable* HighScoreManager::FindTable(const std::string& name) const
{
    const auto found = m_Tables.find(name);
    return found != m_Tables.end() ? found->second.Get() : nullptr;
}

void HighScoreManager::Load()
{
    const std::string path = FilePath();
    if (path.empty()) {
        return;
    }
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->SetLoadFlags(LOAD_SCRAMBLED);
    // A file that cannot be read is copied aside before the next save
    // replaces it; one of another version or kind is copied aside and
    // replaced at once.
    const std::string what = "The high-score file";
    const std::string instead = "the game goes on with empty high-score tables";
    if (!store->CanLoad(path) || !store->AddFile(path)) {
        FileProblems::KeepDamagedFile(path, LOAD_SCRAMBLED, what, instead);
        return;
    }
    PropertyNode* root = PropertyNode::AsNode(store->GetChild("highscoretables"));
    if (root->GetString("version") != m_Version) {
        Platform::Log("The high-score file has version '%s', not '%s'; its tables are not read\n",
                      root->GetString("version").c_str(), m_Version.c_str());
        FileProblems::KeepDamagedFile(path, LOAD_SCRAMBLED, what, instead);
    } else {
        if (root->HasChild("uid")) {
            m_Uid = root->GetValue("uid")->GetInt();
        }
        for (const SmartPtr<AbstractProperty>& item : root->GetVector("scoretables")->GetItems()) {
            if (!item->IsNode()) {
                continue;
            }
            SmartPtr<HighScoreTable> table(new HighScoreTable(static_cast<PropertyNode*>(item.Get())));
            table->SetLastScore(-1);
            m_Tables[item->GetName()] = table;
        }
    }
    Save();
}

bool HighScoreManager::Save() const
{
    const std::string path = FilePath();
    if (path.empty()) {
        return false;
    }
    SmartPtr<PropertyStore> store(new PropertyStore(path));
    store->SetLoadFlags(LOAD_SCRAMBLED);
    auto* root = new PropertyNode("highscoretables", "HighScoreTables");
    store->AddChild(root);
    root->AddChild(new PropertyValue("version", m_Version, true));
    root->AddChild(new PropertyValue("uid", m_Uid));
    auto* tables = new PropertyVector("scoretables");
    root->AddChild(tables);
    for (const auto& [name, table] : m_Tables) {
        auto* node = new PropertyNode(name, "ScoreTable");
        tables->AddItem(node);
        table->Write(node);
    }
    return store->SaveFile();
}

}  // namespace Qmv2
