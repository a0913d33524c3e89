// A player of the game: a name and whatever profile the game keeps. The game
// derives its own player class and registers it with the object factory; the
// player manager makes players from the players list through that factory.
#pragma once

#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

class AbstractPlayer : public BaseObject {
    QMV_INDEXED_TYPE(AbstractPlayer)

    explicit AbstractPlayer(const std::string& name = std::string()) : m_Name(name), m_Named(!name.empty()) {}
    // Reads "name" from a players-list entry; an entry without the key is
    // a record that never received a name, even though an empty one reads
    // the same.
    explicit AbstractPlayer(PropertyNode* node)
        : m_Name(PropertyNode::AsNode(node)->GetString("name")), m_Named(PropertyNode::AsNode(node)->HasChild("name"))
    {
    }
    ~AbstractPlayer() override = default;

    // The summary kept in the players list: the base writes "name".
    virtual void Save(PropertyNode* node) const;
    // The profile, written into and read from the profile's "player" node.
    virtual void SaveProfile(PropertyNode*) const {}
    virtual void LoadProfile(PropertyNode*) {}
    // Called when the player stops being the current one.
    virtual void Deselect() {}

    const std::string& GetName() const { return m_Name; }
    // Whether the record received its name.
    bool IsNamed() const { return m_Named; }

protected:
    std::string m_Name;
    bool m_Named;
};

}  // namespace Qmv2
