#include "framework/scene/Sprite.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <lua.hpp>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/script/Lua.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/ResourceImage.h"
#include "framework/scene/ModifierFrame.h"

namespace Qmv2 {

namespace {

const char* const kBlendModes[] = {"blend", "additive", "multiply", "copy", "copy_color", "buffer"};
const char* const kFrameDirections[] = {"forward", "backward"};

float ReadFloat(const PropertyNode& node, const char* key)
{
    return node.GetValue(key)->GetFloat();
}

// Raw reads run no metamethod, so they cannot raise a script error.
float RawNumber(lua_State* state, int table, const char* key)
{
    Lua::PushRawField(state, table, key);
    const auto value = static_cast<float>(lua_tonumber(state, -1));
    lua_pop(state, 1);
    return value;
}

std::string RawText(lua_State* state, int table, const char* key)
{
    Lua::PushRawField(state, table, key);
    std::string value = lua_isstring(state, -1) != 0 ? lua_tostring(state, -1) : "";
    lua_pop(state, 1);
    return value;
}

}  // namespace

Sprite::Sprite(PropertyNode* description) : GameNode(description)
{
    SetScriptClass("Sprite.lua", "qmv.Sprite", "qmv.GameNode", "Sprite", s_ScriptMethods);
    if (description != nullptr) {
        ReadProperties(description);
    }
}

Sprite::Sprite(float x, float y, Image* image)
{
    SetX(x);
    SetY(y);
    SetImage(image);
    SetScriptClass("Sprite.lua", "qmv.Sprite", "qmv.GameNode", "Sprite", s_ScriptMethods);
}

Sprite::Sprite(float x, float y, float width, float height)
{
    SetX(x);
    SetY(y);
    SetSize(width, height);
    SetScriptClass("Sprite.lua", "qmv.Sprite", "qmv.GameNode", "Sprite", s_ScriptMethods);
}

Sprite::Sprite(lua_State* state, int table)
{
    if (table < 0 && table > LUA_REGISTRYINDEX) {
        table = lua_gettop(state) + table + 1;
    }
    SetX(RawNumber(state, table, "x"));
    SetY(RawNumber(state, table, "y"));
    const std::string imageName = RawText(state, table, "image");
    const std::string section = RawText(state, table, "section");
    if (!imageName.empty() && !section.empty()) {
        if (ResourceManager* resources = ResourceManager::GetInstance()) {
            SetImage(resources->GetImage(imageName, section));
        }
    }
    Lua::PushRawField(state, table, "name");
    if (lua_isstring(state, -1) != 0) {
        SetName(lua_tostring(state, -1));
    }
    lua_pop(state, 1);
    SetScriptClass("Sprite.lua", "qmv.Sprite", "qmv.GameNode", "Sprite", s_ScriptMethods);
}

Sprite::~Sprite()
{
    // The frame shown belongs to the image: let it go before the image.
    GraphicsSettings::SetImage(nullptr);
}

Interface* Sprite::GetInterface(const ClassType* type)
{
    if (type == &GraphicsSettings::s_Type) {
        return static_cast<GraphicsSettings*>(this);
    }
    if (type == &iRenderable::s_Type) {
        return static_cast<iRenderable*>(this);
    }
    if (type == &iClippable::s_Type) {
        return static_cast<iClippable*>(this);
    }
    return nullptr;
}

std::string Sprite::ToString() const
{
    char position[64];
    std::snprintf(position, sizeof position, "(%.1f, %.1f) ", GetX(), GetY());
    return GameNode::ToString() + position;
}

void Sprite::SetX(float x)
{
    if (x != GameNode::GetX()) {
        GameNode::SetX(x);
        MarkDirty();
    }
}

void Sprite::SetY(float y)
{
    if (y != GameNode::GetY()) {
        GameNode::SetY(y);
        MarkDirty();
    }
}

Matrix3x3 Sprite::GetLocalMatrix() const
{
    // The matrices are a cache of the drawing state.
    auto* self = const_cast<Sprite*>(this);
    self->UpdateMatrix();
    return GraphicsSettings::GetLocalMatrix();
}

Matrix3x3 Sprite::GetInverseLocalMatrix() const
{
    auto* self = const_cast<Sprite*>(this);
    self->UpdateMatrix();
    return GraphicsSettings::GetInverseLocalMatrix();
}

PointF Sprite::GlobalToLocal(float x, float y) const
{
    const PointF p = GameNode::GlobalToLocal(x, y);
    return PointF(p.x + m_Anchor.offset.x, p.y + m_Anchor.offset.y);
}

PointF Sprite::LocalToGlobal(float x, float y) const
{
    return GameNode::LocalToGlobal(x - m_Anchor.offset.x, y - m_Anchor.offset.y);
}

NodeBounds Sprite::GetBounds(const Matrix3x3& matrix) const
{
    if (m_Bounds == nullptr) {
        return GameNode::GetBounds(matrix);
    }
    auto* self = const_cast<Sprite*>(this);
    Matrix3x3 m = matrix;
    self->ApplyTransform(m);
    PolygonF polygon(*m_Bounds);
    polygon.Transform(m);
    NodeBounds bounds{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                      std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
    for (const PolygonPointF& vertex : polygon.GetVertices()) {
        bounds.left = std::min(bounds.left, vertex.x);
        bounds.top = std::min(bounds.top, vertex.y);
        bounds.right = std::max(bounds.right, vertex.x);
        bounds.bottom = std::max(bounds.bottom, vertex.y);
    }
    return bounds;
}

bool Sprite::HitTest(float x, float y)
{
    if (m_Bounds == nullptr) {
        return false;
    }
    return m_Bounds->Contains(GlobalToLocal(x, y));
}

void Sprite::UpdateOffsets(float width, float height)
{
    m_Anchor.Update(width, height);
    m_Pivot.Update(width, height);
    MarkDirty();
}

void Sprite::SetAnchor(std::int32_t kind)
{
    GraphicsSettings::SetAnchor(kind);
    UpdateOffsets(GetWidth(), GetHeight());
}

void Sprite::SetAnchorPoint(const AnchorPoint& anchor)
{
    GraphicsSettings::SetAnchorPoint(anchor);
    UpdateOffsets(GetWidth(), GetHeight());
}

void Sprite::SetPivot(std::int32_t kind)
{
    GraphicsSettings::SetPivot(kind);
    UpdateOffsets(GetWidth(), GetHeight());
}

void Sprite::SetPivotPoint(const AnchorPoint& pivot)
{
    GraphicsSettings::SetPivotPoint(pivot);
    UpdateOffsets(GetWidth(), GetHeight());
}

float Sprite::GetLeft() const
{
    return GetX() - m_Anchor.offset.x;
}

float Sprite::GetTop() const
{
    return GetY() - m_Anchor.offset.y;
}

float Sprite::GetWidth() const
{
    return m_Bounds != nullptr ? m_Bounds->GetBounds().width : 0.0f;
}

float Sprite::GetHeight() const
{
    return m_Bounds != nullptr ? m_Bounds->GetBounds().height : 0.0f;
}

void Sprite::SetSize(float width, float height)
{
    if (width == GetWidth() && height == GetHeight()) {
        return;
    }
    if (width <= 0.0f && height <= 0.0f) {
        SetBounds(nullptr);
        m_BoundsShared = false;
    } else {
        SetBoundsRect({0.0f, 0.0f, width, height});
    }
    UpdateOffsets(width, height);
}

void Sprite::FitToFrame()
{
    const ImageFrame* frame = GraphicsSettings::GetImage();
    if (frame == nullptr) {
        SetSize(0.0f, 0.0f);
        return;
    }
    const auto width = static_cast<float>(frame->GetPixelRect().width);
    const auto height = static_cast<float>(frame->GetPixelRect().height);
    SetBoundsRect({0.0f, 0.0f, width, height});
    const PointF margin = frame->GetOffset();
    UpdateOffsets(width + 2.0f * margin.x, height + 2.0f * margin.y);
}

void Sprite::SetAnchorKeepPosition(std::int32_t kind)
{
    const PointF before = m_Anchor.offset;
    SetAnchor(kind);
    SetX(GetX() + m_Anchor.offset.x - before.x);
    SetY(GetY() + m_Anchor.offset.y - before.y);
}

void Sprite::SetAnchorPointKeepPosition(const AnchorPoint& anchor)
{
    const PointF before = m_Anchor.offset;
    SetAnchorPoint(anchor);
    SetX(GetX() + m_Anchor.offset.x - before.x);
    SetY(GetY() + m_Anchor.offset.y - before.y);
}

void Sprite::SetPivotKeepPosition(std::int32_t kind)
{
    UpdateMatrix();
    const float tx0 = m_LocalMatrix.m02;
    const float ty0 = m_LocalMatrix.m12;
    SetPivot(kind);
    UpdateMatrix();
    const float tx1 = m_LocalMatrix.m02;
    const float ty1 = m_LocalMatrix.m12;
    SetY(GetY() + ty0 - ty1);
    SetX(GetX() + tx0 - tx1);
}

void Sprite::SetPivotPointKeepPosition(const AnchorPoint& pivot)
{
    UpdateMatrix();
    const float tx0 = m_LocalMatrix.m02;
    const float ty0 = m_LocalMatrix.m12;
    SetPivotPoint(pivot);
    UpdateMatrix();
    const float tx1 = m_LocalMatrix.m02;
    const float ty1 = m_LocalMatrix.m12;
    SetY(GetY() + ty0 - ty1);
    SetX(GetX() + tx0 - tx1);
}

void Sprite::SetTooltip(const UTF8String& text)
{
    if (text.IsEmpty()) {
        m_Tooltip.reset();
    } else if (m_Tooltip) {
        *m_Tooltip = text;
    } else {
        m_Tooltip = std::make_unique<UTF8String>(text);
    }
}

void Sprite::SetFrame(std::int32_t index)
{
    if (index == m_Frame) {
        return;
    }
    m_Frame = index;
    if (m_ImageSet) {
        SetImageFrame(m_ImageSet->GetFrame(index));
    }
}

void Sprite::SetImage(Image* image)
{
    if (image == m_ImageSet.Get()) {
        return;
    }
    m_ImageSet = image;
    SetImageFrame(image != nullptr ? image->GetFirstFrame() : nullptr);
    if (m_FitSizeToImage) {
        FitToFrame();
    }
    SetFrame(0);
}

void Sprite::SetImageFrame(ImageFrame* frame)
{
    if (frame == GraphicsSettings::GetImage()) {
        return;
    }
    GraphicsSettings::SetImage(frame);
    if (m_FitSizeToImage) {
        FitToFrame();
    }
}

void Sprite::SetClipRect(const RectF& rect)
{
    if (!m_Clip) {
        m_Clip = new PolygonF(rect.x, rect.y, rect.width, rect.height);
    } else {
        m_Clip->SetRect(rect.x, rect.y, rect.width, rect.height);
    }
}

void Sprite::Render(Graphics& graphics)
{
    // A solid fill needs no image: it fills the sprite's bounds in its colour.
    if (GraphicsSettings::GetImage() == nullptr && !IsSolidFill()) {
        return;
    }
    graphics.CopyFrom(*this);
    graphics.DrawImage();
}

void Sprite::ReadProperties(PropertyNode* description)
{
    PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("width")) {
        SetWidth(ReadFloat(node, "width"));
    }
    if (node.HasChild("height")) {
        SetHeight(ReadFloat(node, "height"));
    }
    if (node.HasChild("alpha")) {
        SetAlpha(ReadFloat(node, "alpha"));
    }
    if (node.HasChild("color")) {
        SetRGB(Color(static_cast<std::uint32_t>(node.GetValue("color")->GetInt())));
    }
    if (node.HasChild("usealphachannel")) {
        SetUseAlphaChannel(node.GetValue("usealphachannel")->GetBool());
    }
    if (node.HasChild("rotation")) {
        SetRotation(ReadFloat(node, "rotation"));
    }
    if (node.HasChild("skewx")) {
        SetSkewX(ReadFloat(node, "skewx"));
    }
    if (node.HasChild("skewy")) {
        SetSkewY(ReadFloat(node, "skewy"));
    }
    if (node.HasChild("scale")) {
        SetScale(ReadFloat(node, "scale"));
    } else {
        if (node.HasChild("scalex")) {
            SetScaleX(ReadFloat(node, "scalex"));
        }
        if (node.HasChild("scaley")) {
            SetScaleY(ReadFloat(node, "scaley"));
        }
    }
    if (node.HasChild("flip")) {
        const std::string flip = node.GetString("flip");
        if (flip == "both" || flip == "horizontal") {
            SetFlipHorizontal(true);
        }
        if (flip == "both" || flip == "vertical") {
            SetFlipVertical(true);
        }
    }
    if (node.HasChild("blendmode")) {
        SetBlendMode(node.GetEnum("blendmode", kBlendModes, 6, GetBlendMode()));
    }
    if (node.HasChild("image")) {
        ReadImage(node);
    }
    if (node.HasChild("currentframe")) {
        SetFrame(node.GetValue("currentframe")->GetInt());
    }
    if (node.HasChild("frametime")) {
        ReadFrameTime(node);
    }
    if (node.HasChild("anchorpoint")) {
        SetAnchor(node.GetEnum("anchorpoint", AnchorNames, 9, m_Anchor.kind));
    } else if (node.HasChild("anchorpointx") || node.HasChild("anchorpointy")) {
        SetAnchorXY(ReadFloat(node, "anchorpointx"), ReadFloat(node, "anchorpointy"));
    }
    if (node.HasChild("pivotpoint")) {
        SetPivot(node.GetEnum("pivotpoint", AnchorNames, 9, m_Pivot.kind));
    } else if (node.HasChild("pivotpointx") || node.HasChild("pivotpointy")) {
        SetPivotXY(ReadFloat(node, "pivotpointx"), ReadFloat(node, "pivotpointy"));
    }
    if (node.HasChild("tooltip")) {
        BasicProperties* texts = BasicProperties::GetInstance();
        SetTooltip(UTF8String(texts != nullptr ? texts->GetString(node.GetString("tooltip")) : std::string()));
    }
    if (node.HasChild("command")) {
        m_Command = node.GetString("command");
    }
}

void Sprite::ReadImage(PropertyNode& node)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    Image* image = nullptr;
    if (resources != nullptr) {
        const std::string name = node.GetString("image");
        const std::string section = node.GetString("section");
        if (node.HasChild("sheetid")) {
            // A sheet is an image resource of several named frame sets.
            ResourceObject* resource = resources->GetResource(name, section);
            BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
            if (content != nullptr && content->IsOfType(&ResourceImage::s_Type)) {
                image = static_cast<ResourceImage*>(content)->GetImage(node.GetString("sheetid"));
            }
        } else {
            image = resources->GetImage(name, section);
        }
    }
    SetImage(image);
    if (m_ImageSet) {
        SetFrame(0);
    }
    if (m_FitSizeToImage) {
        FitToFrame();
    }
}

void Sprite::ReadFrameTime(PropertyNode& node)
{
    const std::int32_t frameTime = node.GetValue("frametime")->GetInt();
    ModifierFrame* frames = nullptr;
    for (Modifier* modifier : GetModifiers()) {
        if (modifier->IsOfType(&ModifierFrame::s_Type)) {
            frames = static_cast<ModifierFrame*>(modifier);
            break;
        }
    }
    if (frames != nullptr && frameTime <= 0) {
        frames->SetCancelled(true);
        return;
    }
    if (frameTime <= 0) {
        return;
    }
    if (frames == nullptr) {
        frames = new ModifierFrame(-1, frameTime);
        AddModifier(frames);
    }
    frames->SetFrameTime(frameTime);
    if (node.HasChild("framedirection")) {
        const std::int32_t direction = node.GetEnum("framedirection", kFrameDirections, 2, -1);
        if (direction >= 0) {
            frames->SetBackward(direction == 1);
        }
    }
}

}  // namespace Qmv2
