#include "framework/core/data/AbstractPlayer.h"

namespace Qmv2 {

void AbstractPlayer::Save(PropertyNode* node) const
{
    PropertyNode::AsNode(node)->AddChild(new PropertyValue("name", m_Name, true));
}

}  // namespace Qmv2
