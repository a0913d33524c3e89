#include "framework/core/properties/DataManager.h"

#include "framework/core/files/LoadFailures.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Platform.h"

namespace Qmv2 {

namespace {

// Hands a property to the factory by its type word and drops what it makes.
void CreateAndRelease(AbstractProperty* property)
{
    SmartPtr<BaseObject> made(ObjectFactory::GetInstance()->Create(property->GetTypeWord(), property));
}

// Every child of the section `name` of `store` goes to the factory.
void CreateSection(PropertyStore& store, const std::string& name)
{
    AbstractProperty* section = store.GetChild(name);
    if (section == nullptr || !section->IsNode()) {
        return;
    }
    for (AbstractProperty* child : static_cast<PropertyNode*>(section)->GetNamedChildren()) {
        CreateAndRelease(child);
    }
}

void MergeSection(PropertyStore& store, const std::string& name, PropertyNode& target)
{
    AbstractProperty* section = store.GetChild(name);
    if (section == nullptr || !section->IsNode()) {
        return;
    }
    for (AbstractProperty* child : static_cast<PropertyNode*>(section)->GetNamedChildren()) {
        target.AddChild(child);
    }
}

bool IsSectionNode(const AbstractProperty& property)
{
    const std::string& name = property.GetName();
    return property.IsNode() && (name == "setups" || name == "blueprints" || name == "dialogs" || name == "scenes");
}

}  // namespace

DataManager::DataManager()
    : m_Blueprints(new PropertyNode()), m_Dialogs(new PropertyNode()), m_Scenes(new PropertyNode()),
      m_LoadedStores(new PropertyVector())
{
}

void DataManager::Load()
{
    m_LoadedStores->Clear();
    m_DamagedFiles.Clear();
    m_Blueprints->Clear();
    m_Dialogs->Clear();
    m_Scenes->Clear();

    GFVector<SmartPtr<PropertyStore>> stores;
    for (const std::string& name : m_FileNames) {
        SmartPtr<PropertyStore> store(new PropertyStore(name));
        store->SetCondenseWhiteSpace(false);
        if (!store->Load()) {
            Platform::Log("Error: the data file %s is damaged and could not be read\n", name.c_str());
            m_DamagedFiles.PushBack(name);
            LoadFailures::Note(name);
        }
        stores.PushBack(store);
        m_LoadedStores->AddItem(store.Get());
    }

    for (SmartPtr<PropertyStore>& store : stores) {
        for (AbstractProperty* child : store->GetNamedChildren()) {
            if (!IsSectionNode(*child)) {
                CreateAndRelease(child);
            }
        }
    }
    for (SmartPtr<PropertyStore>& store : stores) {
        CreateSection(*store, "setups");
    }
    for (SmartPtr<PropertyStore>& store : stores) {
        store->ApplySetup();
    }
    for (SmartPtr<PropertyStore>& store : stores) {
        CreateSection(*store, "properties");
    }
    for (SmartPtr<PropertyStore>& store : stores) {
        MergeSection(*store, "blueprints", *m_Blueprints);
        MergeSection(*store, "dialogs", *m_Dialogs);
        MergeSection(*store, "scenes", *m_Scenes);
    }

    m_LoadedStores->Clear();
}

BaseObject* DataManager::CreateObject(const std::string& name)
{
    PropertyNode* definition = m_Dialogs->GetNode(name);
    return ObjectFactory::GetInstance()->Create(definition->GetTypeWord(), definition);
}

}  // namespace Qmv2
