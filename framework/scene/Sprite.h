// The drawable node: a game node with its own drawing state, an image made of
// frames, a size (its bounds polygon), an optional clip polygon, a tooltip
// text and a command text. Every widget and game piece is a sprite.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/scene/SceneRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/graphics/draw/iClippable.h"
#include "framework/graphics/draw/iRenderable.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/GameNode.h"

struct lua_State;

namespace Qmv2 {

class Modifier;
class PropertyNode;

class Sprite : public GameNode, public GraphicsSettings, public iRenderable, public iClippable {
    QMV_INDEXED_TYPE(Sprite)

    // The factory form: the node part (keys, children, own modifiers), then
    // the sprite's own keys.
    explicit Sprite(PropertyNode* description);
    // At (x, y) showing the image's first frame, sized to it.
    Sprite(float x, float y, Image* image);
    // At (x, y) with the given size and no image.
    Sprite(float x, float y, float width, float height);
    // The script form: the fields "x", "y", "image", "section" and "name" of
    // the script table at `table`; an image only when both its name and its
    // section are given. Reads raw fields only, so it never raises a script
    // error half-way through building.
    Sprite(lua_State* state, int table);
    ~Sprite() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }
    std::string ToString() const override;

    float GetX() const override { return GameNode::GetX(); }
    float GetY() const override { return GameNode::GetY(); }
    // A changed position marks the transform dirty.
    void SetX(float x) override;
    void SetY(float y) override;
    // The drawing state's matrices, brought up to date: move, rotation,
    // scale, skew and pivot, in the space whose origin is the anchor point.
    Matrix3x3 GetLocalMatrix() const override;
    Matrix3x3 GetInverseLocalMatrix() const override;
    // Screen points to and from the sprite's space, whose (0, 0) is the
    // top-left corner of its rectangle.
    PointF GlobalToLocal(float x, float y) const override;
    PointF LocalToGlobal(float x, float y) const override;
    // The bounds polygon through `matrix` and the sprite's own transform;
    // the empty rectangle without bounds.
    NodeBounds GetBounds(const Matrix3x3& matrix) const override;
    // Whether the screen point lies inside the bounds polygon.
    bool HitTest(float x, float y) override;

    // The anchor and pivot follow the sprite's own size, not the image's.
    void SetAnchor(std::int32_t kind) override;
    void SetAnchorPoint(const AnchorPoint& anchor) override;
    void SetPivot(std::int32_t kind) override;
    void SetPivotPoint(const AnchorPoint& pivot) override;

    // The top-left corner in the parent's space.
    virtual float GetLeft() const;
    virtual float GetTop() const;
    float GetWidth() const;
    float GetHeight() const;
    virtual void SetWidth(float width) { SetSize(width, GetHeight()); }
    virtual void SetHeight(float height) { SetSize(GetWidth(), height); }
    // Both 0 or less: no bounds at all; else the rectangle (0, 0, w, h).
    // The anchor and pivot offsets follow.
    virtual void SetSize(float width, float height);

    // Change the anchor or pivot while the picture stays where it is.
    virtual void SetAnchorKeepPosition(std::int32_t kind);
    virtual void SetAnchorPointKeepPosition(const AnchorPoint& anchor);
    virtual void SetPivotKeepPosition(std::int32_t kind);
    virtual void SetPivotPointKeepPosition(const AnchorPoint& pivot);

    // A non-empty text becomes the tooltip; an empty one removes it.
    virtual void SetTooltip(const UTF8String& text);
    const UTF8String* GetTooltip() const { return m_Tooltip.get(); }

    // Shows frame `index` of the image; an index outside the image shows
    // nothing but is kept.
    virtual void SetFrame(std::int32_t index);
    std::int32_t GetFrame() const { return m_Frame; }
    // The sprite's image: its list of frames.
    Image* GetImageSet() const { return m_ImageSet.Get(); }
    // Holds the image, shows its first frame (fitting the size to it when
    // asked to) and starts at frame 0.
    virtual void SetImage(Image* image);
    // Shows this frame image (fitting the size to it when asked to).
    virtual void SetImageFrame(ImageFrame* frame);
    // The frame image shown now.
    ImageFrame* GetImageFrame() const { return GraphicsSettings::GetImage(); }
    bool GetFitSizeToImage() const { return m_FitSizeToImage; }
    void SetFitSizeToImage(bool fit) { m_FitSizeToImage = fit; }

    // The sprite and its subtree are clipped to this rectangle of the
    // parent's space.
    void SetClipRect(const RectF& rect);
    PolygonF* GetClipPolygon() override { return m_Clip.Get(); }

    const std::string& GetCommand() const { return m_Command; }
    void SetCommand(const std::string& command) { m_Command = command; }

    // Copies the drawing state into the drawing object and draws the frame.
    void Render(Graphics& graphics) override;

    // One step of an animation chain from the style table on top of the
    // script stack: its modifiers, each added as a step part with this sprite
    // as target. Answers the last one made, or null when the table yields none.
    virtual Modifier* Animate(lua_State* state, std::int32_t duration);
    // A straight move to (x, y), or by (x, y) when relative; eased in and out
    // for the style "easeInOut".
    virtual Modifier* CreateMoveModifier(float x, float y, bool relative, std::int32_t duration,
                                         const std::string& style);

    // Applies the sprite keys of a property node, where present.
    void ReadProperties(PropertyNode* description);

    // The native methods of the class "qmv.Sprite".
    static const luaL_Reg s_ScriptMethods[];

    // A sprite a script made outside the tree is held until the next purge:
    // by then it is linked and its parent keeps it, or it is freed.
    static void HoldUntilPurge(Sprite* sprite);
    static void ReleaseHeld();

private:
    // Sizes the sprite to the displayed frame.
    void FitToFrame();
    // Recomputes the anchor and pivot offsets for a box of this size.
    void UpdateOffsets(float width, float height);
    void ReadImage(PropertyNode& node);
    void ReadFrameTime(PropertyNode& node);

    std::int32_t m_Frame = 0;
    SmartPtr<Image> m_ImageSet;
    SmartPtr<PolygonF> m_Clip;
    std::unique_ptr<UTF8String> m_Tooltip;
    std::string m_Command;
    bool m_FitSizeToImage = true;
};

}  // namespace Qmv2
