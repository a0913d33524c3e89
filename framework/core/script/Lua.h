// The embedded Lua 5.1 interpreter and the script classes of the game nodes.
// Each bound class has a metatable in the Lua registry named "qmv." and the
// class name, filled from its base class's metatable, from the class's
// script in the script folder and from its native methods. All script work
// runs on the window thread.
#pragma once

#include <string>
#include <unordered_set>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iInstance.h"

struct lua_State;
struct luaL_Reg;

namespace Qmv2 {

class Lua : public BaseObject, public iInstance<Lua> {
public:
    QMV_CLASS_TYPE(Lua, BaseObject)

    // The field of a script object that holds its native object.
    static constexpr const char* kObjectField = "__c++";
    // The caption of a class-script error.
    static constexpr const char* kErrorCaption = "setupMetatableForClass";

    Lua();
    ~Lua() override;

    Lua(const Lua&) = delete;
    Lua& operator=(const Lua&) = delete;

    // The work of the start-up command "lua": makes the singleton and starts
    // its interpreter. A second call keeps the running interpreter, whose
    // registry the existing script objects live in. Answers the singleton.
    static Lua* Create();

    // Creates the state with the standard libraries; false when it cannot be made.
    bool Init();

    lua_State* GetState() const noexcept { return m_State; }
    const std::string& GetScriptFolder() const noexcept { return m_ScriptFolder; }

    // Builds the class metatable `name` once. Answers 0 on success or when it
    // exists already, 1 when the class script failed (reported).
    int setupMetatableForClass(const char* baseName, const char* name, const char* scriptPath,
                               const char* className, const luaL_Reg* methods);

    // Gives the node's script object the class metatable, setting the class up
    // first; a failed class script leaves the object's metatable as it was.
    // `Node` is any object class that answers its script table's reference
    // from GetScriptRef (the scene's nodes).
    template <typename Node>
    void BindScriptClass(const char* scriptFile, Node* node, const char* name, const char* baseName,
                         const char* className, const luaL_Reg* methods)
    {
        if (node != nullptr) {
            BindScriptObject(scriptFile, node, node->GetScriptRef(), name, baseName, className, methods);
        }
    }
    // The same for `object`, whose script table has the registry reference `scriptRef`.
    void BindScriptObject(const char* scriptFile, BaseObject* object, int scriptRef, const char* name,
                          const char* baseName, const char* className, const luaL_Reg* methods);

    // The root class "qmv.GameNode" (native methods first, then "GameNode.lua",
    // whose entries replace them) and a new script object for `object` with
    // that metatable. Answers the object's registry reference.
    int CreateScriptObject(BaseObject* object, const luaL_Reg* rootMethods);

    // Cuts the script object's link to its released object and drops the
    // registry reference; the table itself may live on in scripts.
    void ReleaseScriptObject(BaseObject* object, int ref);

    // Pushes the script object of a reference (nil for none).
    void PushScriptObject(int ref);

    // Shows the error text on top of the stack in a message box.
    void ReportError();

    // The native object of script argument `arg`, checked to be a table whose
    // object is alive and of `type`; raises a script argument error otherwise.
    static BaseObject* CheckObject(lua_State* state, int arg, const ClassType* type, const char* notTypeMessage);
    // Pushes field `key` of the table at `table` as stored, without its
    // metatable: a native function that reads fields while it owns objects
    // cannot be left by a script error raised in a lookup.
    static void PushRawField(lua_State* state, int table, const char* key);

private:
    // Whether `object` is a live object that owns a script object.
    bool IsLive(const void* object) const { return m_LiveObjects.count(object) != 0; }
    // Copies every entry of the table at `from` into the table at `to` (raw).
    void CopyEntries(int from, int to);
    // Pushes qmv[className], or nil when the scripts did not make it.
    void PushClassTable(const char* className);
    // Loads and runs a class script; on failure reports it and pops the error.
    bool RunScript(const std::string& path);
    // False only when the file is known to be absent: a file that cannot be
    // checked is run, so that its problem is reported.
    static bool ScriptExists(const std::string& path);

    lua_State* m_State = nullptr;
    std::string m_ScriptFolder;
    std::unordered_set<const void*> m_LiveObjects;
};

}  // namespace Qmv2
