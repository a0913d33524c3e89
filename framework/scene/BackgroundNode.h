// A game node that fills the whole drawing target with one colour each time
// it is drawn: the backdrop under everything drawn after it.
#pragma once

#include "framework/core/util/Color.h"
#include "framework/graphics/draw/iRenderable.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

class BackgroundNode : public GameNode, public iRenderable {
public:
    QMV_TYPE_RECORD(BackgroundNode, GameNode, iRenderable)
    const ClassType* GetType() const override { return &s_Type; }

    explicit BackgroundNode(const Color& color) : m_Color(color) {}

    void Render(Graphics& graphics) override;
    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    const Color& GetColor() const { return m_Color; }
    void SetColor(const Color& color) { m_Color = color; }

private:
    Color m_Color;
};

}  // namespace Qmv2
