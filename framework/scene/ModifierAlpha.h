// Fades the target's alpha from one value to another.
#pragma once

#include "framework/scene/ModifierFraction.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class GraphicsSettings;

class ModifierAlpha : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierAlpha)

    ModifierAlpha(std::int32_t duration, float from, float to);

    // Takes the target's drawing state along with the target.
    void SetTarget(GameNode* target) override;
    virtual void SetGraphicsSettings(GraphicsSettings* settings) { m_Settings = settings; }
    // With the start-from-target option the fade starts at the current alpha.
    void Start() override;
    void Update(std::uint32_t dt) override;
    void Finish() override;
    std::string ToString() const override;

private:
    float End() const;
    void Apply(float alpha);

    float m_From;
    float m_To;
    GraphicsSettings* m_Settings = nullptr;
};

}  // namespace Qmv2
