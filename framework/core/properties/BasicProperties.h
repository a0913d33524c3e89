// The process-wide tables of named integers, doubles, floats, booleans,
// texts, setups (reusable nodes) and lists, filled from the data files by the
// basic value types that the object factory knows ("Integer", "String", ...).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"

namespace Qmv2 {

class ObjectFactory;

class BasicProperties : public BaseObject, public iInstance<BasicProperties> {
    QMV_INDEXED_TYPE(BasicProperties)

    BasicProperties() = default;

    // The factory's creators of the seven basic types: each stores the
    // property under its name in the matching table of the singleton (a later
    // entry replaces an earlier one) and makes no object.
    static BaseObject* CreateInteger(AbstractProperty* property);   // "#"/"0x" hex, else decimal
    static BaseObject* CreateDouble(AbstractProperty* property);    // "%lf", 0 when unreadable
    static BaseObject* CreateFloat(AbstractProperty* property);     // "%f", 0 when unreadable
    static BaseObject* CreateBoolean(AbstractProperty* property);   // false for "" and "false"
    static BaseObject* CreateString(AbstractProperty* property);
    static BaseObject* CreateNode(AbstractProperty* property);      // shared, or the empty node
    static BaseObject* CreateVector(AbstractProperty* property);    // shared, or the empty vector
    // Registers the seven under "Integer", "Double", "Float", "Boolean",
    // "String", "Node" and "Vector".
    static void RegisterCreators(ObjectFactory& factory);

    // The text of `key`; when the table lacks it, the text of key + "_WIN"
    // (entered empty when that is missing too).
    const std::string& GetString(const std::string& key);
    bool HasString(const std::string& key) const;

    // Readers by key: a missing key is entered and reads 0, false or null.
    std::int32_t GetInteger(const std::string& key) { return m_Integers[key]; }
    double GetDouble(const std::string& key) { return m_Doubles[key]; }
    float GetFloat(const std::string& key) { return m_Floats[key]; }
    bool GetBoolean(const std::string& key) { return m_Booleans[key]; }
    PropertyNode* GetSetup(const std::string& key) { return m_Setups[key].Get(); }
    PropertyVector* GetList(const std::string& key) { return m_Lists[key].Get(); }

    void SetInteger(const std::string& key, std::int32_t value) { m_Integers[key] = value; }
    void SetDouble(const std::string& key, double value) { m_Doubles[key] = value; }
    void SetFloat(const std::string& key, float value) { m_Floats[key] = value; }
    void SetBoolean(const std::string& key, bool value) { m_Booleans[key] = value; }
    void SetString(const std::string& key, const std::string& value) { m_Strings[key] = value; }
    void SetSetup(const std::string& key, PropertyNode* node) { m_Setups[key] = node; }
    void SetList(const std::string& key, PropertyVector* list) { m_Lists[key] = list; }

private:
    std::unordered_map<std::string, std::int32_t> m_Integers;
    std::unordered_map<std::string, double> m_Doubles;
    std::unordered_map<std::string, float> m_Floats;
    std::unordered_map<std::string, bool> m_Booleans;
    std::unordered_map<std::string, std::string> m_Strings;
    std::unordered_map<std::string, SmartPtr<PropertyNode>> m_Setups;
    std::unordered_map<std::string, SmartPtr<PropertyVector>> m_Lists;
};

}  // namespace Qmv2
