#include "framework/scene/iHitMask.h"

#include <cmath>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"

namespace Qmv2 {

float iHitMask::ToAlphaThreshold(float threshold)
{
    if (!(threshold > 1.0f)) {
        return threshold * 255.0f;
    }
    return threshold;
}

void iHitMask::Load(const PropertyNode& node)
{
    if (node.HasChild("hitmask")) {
        ResourceManager* resources = ResourceManager::GetInstance();
        ResourceObject* resource =
            resources != nullptr ? resources->GetResource(node.GetString("hitmask"), node.GetString("section")) : nullptr;
        BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
        if (content != nullptr && content->IsOfType(&Mask::s_Type)) {
            m_Mask = static_cast<Mask*>(content);
        }
    }
    if (node.HasChild("hitmaskthreshold")) {
        m_Threshold = node.GetValue("hitmaskthreshold")->GetFloat();
    }
}

bool iHitMask::HitTest(const PointF& point)
{
    if (m_Mask == nullptr) {
        if (!IsMaskEnabled()) {
            return false;
        }
        ImageFrame* source = GetMaskSource(m_Threshold);
        if (source == nullptr) {
            return false;
        }
        m_Mask = new Mask(source, ToAlphaThreshold(m_Threshold));
    } else if (m_Mask->GetKind() == Mask::kAlphaMask && m_Mask->GetMaskData() != nullptr &&
               m_Mask->GetMaskData()->GetBitsPerPixel() == 8) {
        // A named mask builds its bits with the owner's threshold on first use.
        m_Mask->ApplyThreshold(ToAlphaThreshold(m_Threshold));
    }
    const float x = std::trunc(point.x);
    const float y = std::trunc(point.y);
    if (!(x >= 0.0f && y >= 0.0f && x < 1.0e9f && y < 1.0e9f)) {
        return false;
    }
    return m_Mask->HitTest(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

}  // namespace Qmv2
