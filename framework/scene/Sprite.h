// A node that draws an image with its own drawing state. Its size is the
// size of its bounds polygon.
#pragma once

#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/GameNode.h"
#include "framework/graphics/draw/iRenderable.h"

namespace Qmv2 {

class PropertyNode;

class Sprite : public GameNode, public GraphicsSettings, public iRenderable {
    QMV_INDEXED_TYPE(Sprite)

    // At (x, y), sized to the image's first frame (0 by 0 without one).
    Sprite(float x, float y, Image* image);
    // Position and size from "x", "y", "width" and "height".
    explicit Sprite(PropertyNode* description);

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    float GetX() const override { return GameNode::GetX(); }
    float GetY() const override { return GameNode::GetY(); }

    // Copies the drawing state into the drawing object and draws the image.
    void Render(Graphics& graphics) override;

    using GraphicsSettings::SetImage;
    Image* GetImageSet() const { return m_ImageSet.Get(); }
    // Shows the image's first frame; the size stays.
    void SetImage(Image* image);

    // The bounds' width and height (0 without bounds).
    float GetWidth() const;
    float GetHeight() const;
    void SetSize(float width, float height);
    void SetWidth(float width) { SetSize(width, GetHeight()); }
    void SetHeight(float height) { SetSize(GetWidth(), height); }

private:
    SmartPtr<Image> m_ImageSet;
};

}  // namespace Qmv2
