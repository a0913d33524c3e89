// The render task over the recording fake device: what is drawn, in which
// order, under which transform, colour and clip, and when a frame is presented.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RendererFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/scene/TaskRender.h"
#include "framework/graphics/draw/iClippable.h"
#include "framework/graphics/draw/iRenderable.h"

namespace task_render_test {

using namespace Qmv2;
using graphicstest::Fake;

namespace {

// What a probe saw when it was drawn.
struct Seen {
    std::string name;
    std::int32_t matrices = 0;
    float moveX = 0.0f;
    float moveY = 0.0f;
    std::int32_t colors = 0;
    Color color;
    std::int32_t clips = 0;
};

// A node that records the drawing object's stacks when it is drawn. It
// answers the drawing state and the clip interface only when asked to.
class ProbeNode : public GameNode, public iRenderable, public iClippable, public GraphicsSettings {
public:
    QMV_TYPE_RECORD(ProbeNode, GameNode, iRenderable)
    const ClassType* GetType() const override { return &s_Type; }

    ProbeNode(std::string name, std::vector<Seen>& log) : m_Name(std::move(name)), m_Log(log) {}

    void Render(Graphics& graphics) override
    {
        Seen seen;
        seen.name = m_Name;
        seen.matrices = graphics.GetMatrixStack().GetCount();
        if (seen.matrices > 0) {
            const Matrix3x3& top = graphics.GetMatrixStack()[seen.matrices - 1];
            seen.moveX = top.m02;
            seen.moveY = top.m12;
        }
        seen.colors = graphics.GetColorStack().GetCount();
        if (seen.colors > 0) {
            seen.color = graphics.GetColorStack()[seen.colors - 1];
        }
        seen.clips = graphics.GetClipStack().GetCount();
        m_Log.push_back(seen);
    }
    PolygonF* GetClipPolygon() override { return m_Clip.Get(); }
    Interface* GetInterface(const ClassType* type) override
    {
        if (type == &iRenderable::s_Type) {
            return static_cast<iRenderable*>(this);
        }
        if (type == &iClippable::s_Type && m_AnswersClip) {
            return static_cast<iClippable*>(this);
        }
        if (type == &GraphicsSettings::s_Type && m_AnswersSettings) {
            return static_cast<GraphicsSettings*>(this);
        }
        return GameNode::GetInterface(type);
    }
    BaseObject* GetOwner() override { return this; }
    float GetX() const override { return GameNode::GetX(); }
    float GetY() const override { return GameNode::GetY(); }

    bool m_AnswersClip = false;
    bool m_AnswersSettings = false;
    SmartPtr<PolygonF> m_Clip;

private:
    std::string m_Name;
    std::vector<Seen>& m_Log;
};

class TaskRenderTest : public graphicstest::RendererFixture {
protected:
    void SetUp() override
    {
        RendererFixture::SetUp();
        root_ = SmartPtr<GameNode>(new GameNode);
        task_ = SmartPtr<TaskRender>(new TaskRender(root_.Get()));
        Fake().ClearCalls();
    }
    ProbeNode* Probe(GameNode* parent, const std::string& name)
    {
        auto* node = new ProbeNode(name, seen_);
        parent->AddChild(node);
        return node;
    }
    std::vector<std::string> Order() const
    {
        std::vector<std::string> names;
        for (const Seen& s : seen_) {
            names.push_back(s.name);
        }
        return names;
    }
    const Seen& Of(const std::string& name) const
    {
        for (const Seen& s : seen_) {
            if (s.name == name) {
                return s;
            }
        }
        ADD_FAILURE() << name << " was not drawn";
        static const Seen none;
        return none;
    }

    SmartPtr<GameNode> root_;
    SmartPtr<TaskRender> task_;
    std::vector<Seen> seen_;
};

}  // namespace

TEST_F(TaskRenderTest, FrameWithNothingDrawnIsNotPresented)
{
    Probe(root_.Get(), "hidden")->SetVisible(false);
    task_->Execute(16);
    EXPECT_TRUE(seen_.empty());
    EXPECT_TRUE(Fake().Named("BeginScene").empty());
    EXPECT_TRUE(Fake().Named("Present").empty());
    EXPECT_FALSE(renderer_->GetScreenGraphics()->IsActive());
}

TEST_F(TaskRenderTest, BackdropClearsAndEveryDrawnFrameIsPresented)
{
    root_->AddChild(new BackgroundNode(Color(0xFF1D3557u)));
    task_->Execute(16);
    task_->Execute(16);
    const auto clears = Fake().Named("Clear");
    ASSERT_EQ(clears.size(), 2u);
    EXPECT_EQ(clears[0].b, 0xFF1D3557u);
    EXPECT_EQ(Fake().Named("Present").size(), 2u);
}

TEST_F(TaskRenderTest, InvisibleObsoleteAndSuspendedSubtreesAreSkippedInChildOrder)
{
    ProbeNode* frozen = Probe(root_.Get(), "frozen");
    frozen->SetSuspended(true);
    Probe(frozen, "under frozen");
    ProbeNode* hidden = Probe(root_.Get(), "hidden");
    hidden->SetVisible(false);
    Probe(hidden, "under hidden");
    ProbeNode* dead = Probe(root_.Get(), "dead");
    dead->SetObsolete(true);
    Probe(dead, "under dead");
    ProbeNode* first = Probe(root_.Get(), "first");
    Probe(first, "child");
    Probe(root_.Get(), "second");
    task_->Execute(16);
    EXPECT_EQ(Order(), (std::vector<std::string>{"first", "child", "second"}));
}

TEST_F(TaskRenderTest, PositionMovesTheChildrenNotTheNode)
{
    ProbeNode* parent = Probe(root_.Get(), "parent");
    parent->SetX(10.0f);
    parent->SetY(20.0f);
    ProbeNode* child = Probe(parent, "child");
    child->SetX(5.0f);
    child->SetY(0.0f);
    Probe(child, "grandchild");
    ProbeNode* near = Probe(root_.Get(), "near");
    near->SetX(0.0005f);
    near->SetY(-0.0005f);
    Probe(near, "under near");
    task_->Execute(16);

    EXPECT_EQ(Of("parent").matrices, 0);
    EXPECT_EQ(Of("child").matrices, 1);
    EXPECT_FLOAT_EQ(Of("child").moveX, 10.0f);
    EXPECT_FLOAT_EQ(Of("child").moveY, 20.0f);
    EXPECT_EQ(Of("grandchild").matrices, 2);
    EXPECT_FLOAT_EQ(Of("grandchild").moveX, 15.0f);
    EXPECT_FLOAT_EQ(Of("grandchild").moveY, 20.0f);
    EXPECT_EQ(Of("under near").matrices, 0) << "moves within the tolerance push nothing";
    EXPECT_EQ(renderer_->GetScreenGraphics()->GetMatrixStack().GetCount(), 0) << "every push is popped";
}

TEST_F(TaskRenderTest, DrawingStateTransformReachesTheChildren)
{
    ProbeNode* parent = Probe(root_.Get(), "parent");
    parent->m_AnswersSettings = true;
    parent->SetX(30.0f);
    parent->SetY(40.0f);
    parent->SetScale(2.0f);
    Probe(parent, "child");
    task_->Execute(16);
    ASSERT_TRUE(parent->HasTransform());
    EXPECT_FALSE(parent->IsMatrixDirty()) << "the walk brings the matrices up to date";
    EXPECT_EQ(Of("child").matrices, 1);
    EXPECT_FLOAT_EQ(Of("child").moveX, parent->GraphicsSettings::GetLocalMatrix().m02);
    EXPECT_FLOAT_EQ(Of("child").moveY, parent->GraphicsSettings::GetLocalMatrix().m12);
    EXPECT_FLOAT_EQ(parent->GraphicsSettings::GetLocalMatrix().m00, 2.0f);
}

TEST_F(TaskRenderTest, ColourReachesTheChildrenByTheInheritanceFlags)
{
    struct Case {
        std::uint32_t flags;
        Color color;
        bool pushed;
        Color expected;
    };
    const Case cases[] = {
        {0x200, Color(0.5f, 0.2f, 0.3f, 0.4f), true, Color(0.5f, 1.0f, 1.0f, 1.0f)},
        {0x400, Color(0.5f, 0.2f, 0.3f, 0.4f), true, Color(1.0f, 0.2f, 0.3f, 0.4f)},
        {0x000, Color(0.5f, 0.2f, 0.3f, 0.4f), true, Color(0.5f, 0.2f, 0.3f, 0.4f)},
        {0x600, Color(0.5f, 0.2f, 0.3f, 0.4f), false, Color()},
        {0x000, Color(1.0f, 1.0f, 1.0f, 1.0f), false, Color()},
        {0x200, Color(1.0f, 0.2f, 0.3f, 0.4f), false, Color()},
        {0x400, Color(0.5f, 1.0f, 1.0f, 1.0f), false, Color()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags << " alpha " << c.color.a);
        seen_.clear();
        root_ = SmartPtr<GameNode>(new GameNode);
        task_ = SmartPtr<TaskRender>(new TaskRender(root_.Get()));
        ProbeNode* parent = Probe(root_.Get(), "parent");
        parent->m_AnswersSettings = true;
        parent->SetColor(c.color);
        parent->SetColorInheritance(c.flags);
        Probe(parent, "child");
        task_->Execute(16);
        EXPECT_EQ(Of("parent").colors, 0) << "a node's colour is not on the stack for itself";
        ASSERT_EQ(Of("child").colors, c.pushed ? 1 : 0);
        if (c.pushed) {
            const Color& got = Of("child").color;
            EXPECT_FLOAT_EQ(got.a, c.expected.a);
            EXPECT_FLOAT_EQ(got.r, c.expected.r);
            EXPECT_FLOAT_EQ(got.g, c.expected.g);
            EXPECT_FLOAT_EQ(got.b, c.expected.b);
        }
        EXPECT_EQ(renderer_->GetScreenGraphics()->GetColorStack().GetCount(), 0);
    }
}

TEST_F(TaskRenderTest, ClipCoversTheNodeAndItsSubtreeOnly)
{
    ProbeNode* clipped = Probe(root_.Get(), "clipped");
    clipped->m_AnswersClip = true;
    clipped->m_Clip = SmartPtr<PolygonF>(new PolygonF);
    clipped->m_Clip->SetRect(10.0f, 10.0f, 50.0f, 50.0f);
    Probe(clipped, "inside");
    ProbeNode* open = Probe(root_.Get(), "no polygon");
    open->m_AnswersClip = true;
    Probe(root_.Get(), "after");
    task_->Execute(16);
    // The drawing object's own target clip is always at the bottom.
    EXPECT_EQ(Of("clipped").clips, 2);
    EXPECT_EQ(Of("inside").clips, 2);
    EXPECT_EQ(Of("no polygon").clips, 1);
    EXPECT_EQ(Of("after").clips, 1);
}

TEST_F(TaskRenderTest, LostDeviceIsRestoredBeforeDrawingAndTheFrameGoesOn)
{
    Probe(root_.Get(), "node");
    root_->AddChild(new BackgroundNode(Color(0xFF000000u)));
    renderer_->SetDeviceLost();
    Fake().config.cooperative = D3DERR_DEVICELOST;
    task_->Execute(16);
    EXPECT_EQ(Order(), (std::vector<std::string>{"node"})) << "the frame is walked while the device is lost";
    EXPECT_TRUE(renderer_->IsDeviceLost());
    EXPECT_EQ(Fake().resets, 0);

    // The device can be reset now (and reports itself usable after the reset).
    Fake().config.cooperative = D3D_OK;
    Fake().ClearCalls();
    task_->Execute(16);
    EXPECT_EQ(Fake().resets, 1) << "the next frame tries again";
    EXPECT_FALSE(renderer_->IsDeviceLost());
    EXPECT_EQ(Fake().Named("Present").size(), 1u);
}

TEST_F(TaskRenderTest, WithoutRendererTheTaskDoesNothing)
{
    Probe(root_.Get(), "node");
    Renderer::ReleaseInstance();
    task_->Execute(16);
    EXPECT_TRUE(seen_.empty());
}

}  // namespace task_render_test
