// Loads the game's data files, feeds their global values into the basic
// properties, resolves "setup" inheritance and keeps three merged definition
// trees: blueprints, dialogs and scenes (a later file's definition of a name
// replaces an earlier one).
#pragma once

#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"

namespace Qmv2 {

class DataManager : public BaseObject, public iInstance<DataManager> {
public:
    DataManager();

    void AddFileName(const std::string& name) { m_FileNames.PushBack(name); }
    const GFVector<std::string>& GetFileNames() const noexcept { return m_FileNames; }
    // The files of the last Load that exist but could not be read.
    const GFVector<std::string>& GetDamagedFiles() const noexcept { return m_DamagedFiles; }

    // Reads every data file and rebuilds the definition trees. Basic values
    // are overwritten, never removed. A file that is missing or does not parse
    // contributes nothing.
    virtual void Load();

    // The object the dialog definition `name` describes, made by the factory
    // from its type word (null when the factory makes none).
    BaseObject* CreateObject(const std::string& name);

    PropertyNode* GetBlueprints() const noexcept { return m_Blueprints.Get(); }
    PropertyNode* GetDialogs() const noexcept { return m_Dialogs.Get(); }
    PropertyNode* GetScenes() const noexcept { return m_Scenes.Get(); }

private:
    GFVector<std::string> m_FileNames;
    SmartPtr<PropertyNode> m_Blueprints;
    SmartPtr<PropertyNode> m_Dialogs;
    SmartPtr<PropertyNode> m_Scenes;
    SmartPtr<PropertyVector> m_LoadedStores;
    GFVector<std::string> m_DamagedFiles;
};

}  // namespace Qmv2
