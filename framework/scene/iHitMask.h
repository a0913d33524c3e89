// A per-pixel hit area: the opaque pixels of a mask, either named in the
// property file ("hitmask") or built on first use from the owner's picture
// with a threshold ("hitmaskthreshold"). A negative threshold turns the
// test off.
#pragma once

#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/Interface.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Point.h"
#include "framework/graphics/image/Mask.h"

namespace Qmv2 {

class ImageFrame;
class PropertyNode;

class iHitMask : public Interface {
public:
    QMV_INDEXED_RECORD(iHitMask)
    const ClassType* GetType() const override { return &s_Type; }

    ~iHitMask() override = default;

    // Whether the local point lies on a solid pixel of the mask.
    virtual bool HitTest(const PointF& point);
    // The picture a mask is built from when none was named; null for none.
    virtual ImageFrame* GetMaskSource(float threshold) = 0;

    // Reads "hitmask" (with "section") and "hitmaskthreshold" where present.
    void Load(const PropertyNode& node);

    // Whether the mask takes part in hit tests: a threshold of 0 or more
    // (a threshold that is not a number counts as set).
    bool IsMaskEnabled() const { return !(m_Threshold < 0.0f); }
    float GetThreshold() const { return m_Threshold; }
    void SetThreshold(float threshold) { m_Threshold = threshold; }
    Mask* GetMask() const { return m_Mask.Get(); }

    // A threshold up to 1 is a share of full opacity, above it an alpha
    // value of 0 to 255.
    static float ToAlphaThreshold(float threshold);

private:
    SmartPtr<Mask> m_Mask;
    float m_Threshold = -1.0f;
};

}  // namespace Qmv2
