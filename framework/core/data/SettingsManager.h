// Keeps the player's settings in the registry under "Software\Orvendale\<game
// id>": read once at start-up (machine-wide values first, the user's over
// them), written back whenever they change and when the manager goes. The
// value "shutdowncorrect" records whether the last run ended in order; a
// start after an unclean end runs windowed.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/iMessageListener.h"
#include "framework/core/data/GameSettings.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"

namespace Qmv2 {

// "Software\Orvendale\" followed by the game id.
std::string SettingsRegistryRoot();

// Reads every REG_SZ value (as a "String" value) and REG_DWORD value (as an
// untyped decimal value) of the key into the node, replacing children of the
// same names. Answers the error of opening the key, ERROR_SUCCESS otherwise.
LONG ReadRegistryKey(HKEY hive, const std::string& keyPath, PropertyNode* node);

class SettingsManager : public BaseObject, public iMessageListener, public iInstance<SettingsManager> {
    QMV_INDEXED_TYPE(SettingsManager)

    // Takes ownership of the settings; without any, the framework's defaults serve.
    explicit SettingsManager(GameSettings* settings);
    ~SettingsManager() override;

    void Load();
    void Save();
    // Message 0x202 (full screen switched) stores the new state and saves.
    void OnMessage(const Message& message) override;
    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    GameSettings* GetSettings() const { return m_Settings.Get(); }
    const std::string& GetKeyPath() const { return m_KeyPath; }
    bool GetShutdownCorrect() const { return m_ShutdownCorrect; }

private:
    SmartPtr<GameSettings> m_Settings;
    std::string m_KeyPath;
    bool m_ShutdownCorrect = true;
};

}  // namespace Qmv2
