#include "framework/core/util/Polygon.h"

#include "framework/core/util/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Qmv2 {

namespace {

constexpr int kReservedVertices = 8;

PointF Unit(const PointF& from, const PointF& to)
{
    return NormaliseVector(PointF(to.x - from.x, to.y - from.y));
}

// Edges running left, or straight down, belong to the right and bottom sides
// of a shape with positive turns.
bool Shifted(const PointF& direction)
{
    return direction.x < -kGeometryTolerance
        || (std::fabs(direction.x) <= kGeometryTolerance && direction.y > 0);
}

// Attributes of a point at weight w of `from` and 1 - w of `to`.
void Lerp(PolygonPointF& target, const PolygonPointF& from, const PolygonPointF& to, float w,
          std::uint32_t attributes)
{
    const PolygonPointF* points[2] = {&from, &to};
    const float weights[2] = {w, 1 - w};
    target.BlendAttributes(points, weights, 2, attributes);
}

void SetDefaults(PolygonPointF& vertex, std::uint32_t attributes)
{
    if ((attributes & kVertexColorAll) == kVertexColorAll)
        vertex.color = Color();
    if ((attributes & kVertexTexture) == kVertexTexture) {
        vertex.u = 0;
        vertex.v = 0;
    }
}

} // namespace

PolygonF::PolygonF()
{
    m_Vertices.Reserve(kReservedVertices);
}

PolygonF::PolygonF(float x, float y, float width, float height)
    : PolygonF()
{
    SetRect(x, y, width, height);
}

PolygonF::PolygonF(const PolygonF& other)
    : m_BoundsDirty(other.m_BoundsDirty), m_ConvexDirty(other.m_ConvexDirty),
      m_RectDirty(other.m_RectDirty), m_IsRectangle(other.m_IsRectangle),
      m_IsConvex(other.m_IsConvex), m_Vertices(other.m_Vertices), m_Bounds(other.m_Bounds)
{
}

PolygonF& PolygonF::operator=(const PolygonF& other)
{
    if (this != &other) {
        m_BoundsDirty = other.m_BoundsDirty;
        m_ConvexDirty = other.m_ConvexDirty;
        m_RectDirty = other.m_RectDirty;
        m_IsRectangle = other.m_IsRectangle;
        m_IsConvex = other.m_IsConvex;
        m_Vertices = other.m_Vertices;
        m_Bounds = other.m_Bounds;
    }
    return *this;
}

void PolygonF::SetRect(float x, float y, float width, float height)
{
    const float x0 = std::min(x, x + width);
    const float x1 = std::max(x, x + width);
    const float y0 = std::min(y, y + height);
    const float y1 = std::max(y, y + height);
    m_Vertices.Clear();
    m_Vertices.PushBack(PolygonPointF(x0, y0, 0, 0));
    m_Vertices.PushBack(PolygonPointF(x1, y0, 1, 0));
    m_Vertices.PushBack(PolygonPointF(x1, y1, 1, 1));
    m_Vertices.PushBack(PolygonPointF(x0, y1, 0, 1));
    // Kept with a non-negative size, so that a rectangle given from its far
    // corner still contains its points.
    m_Bounds.x = x0;
    m_Bounds.y = y0;
    m_Bounds.width = x1 - x0;
    m_Bounds.height = y1 - y0;
    m_BoundsDirty = false;
    m_RectDirty = false;
    m_IsRectangle = true;
    m_ConvexDirty = false;
    m_IsConvex = true;
}

void PolygonF::AddVertex(const PolygonPointF& vertex)
{
    m_Vertices.PushBack(vertex);
    MarkDirty();
}

void PolygonF::SetVertex(int index, const PolygonPointF& vertex)
{
    m_Vertices[index] = vertex;
    MarkDirty();
}

void PolygonF::Clear()
{
    m_Vertices.Clear();
    MarkDirty();
}

void PolygonF::MarkDirty()
{
    m_BoundsDirty = true;
    m_ConvexDirty = true;
    m_RectDirty = true;
}

const PolygonPointF& PolygonF::At(int index) const
{
    const int n = GetVertexCount();
    return m_Vertices[((index % n) + n) % n];
}

RectF PolygonF::GetBounds() const
{
    if (m_BoundsDirty) {
        m_BoundsDirty = false;
        if (m_Vertices.IsEmpty()) {
            m_Bounds = RectF();
        } else {
            float minX = std::numeric_limits<float>::max();
            float minY = minX;
            float maxX = -minX;
            float maxY = -minX;
            for (const PolygonPointF& v : m_Vertices) {
                minX = std::min(minX, v.x);
                minY = std::min(minY, v.y);
                maxX = std::max(maxX, v.x);
                maxY = std::max(maxY, v.y);
            }
            m_Bounds.x = minX;
            m_Bounds.y = minY;
            m_Bounds.width = maxX - minX;
            m_Bounds.height = maxY - minY;
        }
    }
    return m_Bounds;
}

bool PolygonF::IsRectangle() const
{
    if (m_RectDirty) {
        m_RectDirty = false;
        m_IsRectangle = false;
        if (m_Vertices.GetCount() == 4) {
            const PolygonPointF* p = m_Vertices.GetData();
            m_IsRectangle = p[3].x == p[0].x && p[1].y == p[0].y && p[1].x == p[2].x && p[3].y == p[2].y
                && p[0].x <= p[1].x && p[0].y <= p[3].y;
        }
    }
    return m_IsRectangle;
}

bool PolygonF::IsConvex() const
{
    if (m_ConvexDirty) {
        m_ConvexDirty = false;
        m_IsConvex = true;
        const int n = GetVertexCount();
        for (int i = 0; n > 2 && i < n; ++i) {
            // The two vertices after i, wrapping round without a division.
            const int j = i + 1 < n ? i + 1 : i + 1 - n;
            const int k = j + 1 < n ? j + 1 : j + 1 - n;
            const PolygonPointF& a = m_Vertices[i];
            const PolygonPointF& b = m_Vertices[j];
            const PolygonPointF& c = m_Vertices[k];
            if ((a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x) < 0) {
                m_IsConvex = false;
                break;
            }
        }
    }
    return m_IsConvex;
}

bool PolygonF::Contains(const PointF& point) const
{
    if (!GetBounds().Contains(point.x, point.y))
        return false;
    if (IsRectangle())
        return true;
    const int n = GetVertexCount();
    for (int i = 0; i < n; ++i) {
        if (Orientation(point, At(i), At(i + 1)) == 2)
            return false;
    }
    return true;
}

bool PolygonF::ContainsAllOf(const PolygonF& other) const
{
    const int n = GetVertexCount();
    for (const PolygonPointF& q : other.m_Vertices) {
        for (int i = 0; i < n; ++i) {
            if (Orientation(q, At(i), At(i + 1)) == 2)
                return false;
        }
    }
    return true;
}

bool PolygonF::EdgesCross(const PolygonF& other) const
{
    const int n = GetVertexCount();
    const int m = other.GetVertexCount();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < m; ++j) {
            if (SegmentIntersect(At(i), At(i + 1), other.At(j), other.At(j + 1)) == kSegmentsCross)
                return true;
        }
    }
    return false;
}

int PolygonF::Classify(const PolygonF& other) const
{
    if (GetVertexCount() < 3 || other.GetVertexCount() < 3)
        return kApart;
    const RectF mine = GetBounds();
    const RectF theirs = other.GetBounds();
    if (!mine.Intersects(theirs))
        return kApart;
    if (!IsRectangle() && other.IsRectangle() && theirs.ContainsRect(mine))
        return kEnclosed;
    if (IsRectangle()) {
        if (mine.ContainsRect(theirs))
            return kInside;
        if (other.IsRectangle())
            return kCrossing;
    }
    if (ContainsAllOf(other))
        return kInside;
    if (other.ContainsAllOf(*this))
        return kEnclosed;
    return EdgesCross(other) ? kCrossing : kApart;
}

void PolygonF::Intersect(const PolygonF& a, const PolygonF& b, PolygonF& out, std::uint32_t attributes)
{
    PolygonF result;
    if (a.IsRectangle() && b.IsRectangle())
        IntersectRectangles(a, b, result, attributes);
    else if (a.IsConvex() && b.IsConvex())
        IntersectConvex(a, b, result, attributes);
    else
        return;
    out = result;   // built apart, so that out may be a or b
}

void PolygonF::IntersectRectangles(const PolygonF& a, const PolygonF& b, PolygonF& out,
                                   std::uint32_t attributes)
{
    const RectF boundsA = a.GetBounds();
    const RectF boundsB = b.GetBounds();
    if (!boundsA.Intersects(boundsB)) {
        out.Clear();
        return;
    }
    // Each corner starts as b's and moves inward to a's corner on each axis
    // where that lies inside b; its attributes follow along b's edges.
    static const int kNeighbourX[4] = {1, 0, 3, 2};
    static const int kNeighbourY[4] = {3, 2, 1, 0};
    out.m_Vertices.Clear();
    for (int i = 0; i < 4; ++i) {
        const PolygonPointF& corner = b.m_Vertices[i];
        const PolygonPointF& cornerA = a.m_Vertices[i];
        float fx = boundsB.width > 0 ? (cornerA.x - corner.x) / boundsB.width : 0;
        float fy = boundsB.height > 0 ? (cornerA.y - corner.y) / boundsB.height : 0;
        if (i == 1 || i == 2)
            fx = -fx;
        if (i == 2 || i == 3)
            fy = -fy;
        PolygonPointF vertex = corner;
        const PolygonPointF& nx = b.m_Vertices[kNeighbourX[i]];
        const PolygonPointF& ny = b.m_Vertices[kNeighbourY[i]];
        if (fx > 0)
            vertex.x = cornerA.x;
        if (fy > 0)
            vertex.y = cornerA.y;
        if (fx > 0 && fy > 0) {
            const PolygonPointF* points[3] = {&corner, &nx, &ny};
            const float weights[3] = {1 - fx - fy, fx, fy};
            vertex.BlendAttributes(points, weights, 3, attributes);
        } else if (fx > 0) {
            Lerp(vertex, corner, nx, 1 - fx, attributes);
        } else if (fy > 0) {
            Lerp(vertex, corner, ny, 1 - fy, attributes);
        }
        out.m_Vertices.PushBack(vertex);
        out.MarkDirty();
    }
}

bool PolygonF::FindCrossingEdges(const PolygonF& a, const PolygonF& b, int& edgeA, int& edgeB)
{
    for (int j = 0; j < b.GetVertexCount(); ++j) {
        for (int i = 0; i < a.GetVertexCount(); ++i) {
            if (SegmentIntersect(b.At(j), b.At(j + 1), a.At(i), a.At(i + 1)) == kSegmentsCross) {
                edgeA = i;
                edgeB = j;
                return true;
            }
        }
    }
    return false;
}

void PolygonF::AppendUnlessRepeated(const PolygonPointF& vertex)
{
    const std::uint32_t position = kVertexX | kVertexY;
    const int n = GetVertexCount();
    if (n > 0 && (vertex.Equals(m_Vertices[n - 1], position) || vertex.Equals(m_Vertices[0], position)))
        return;
    m_Vertices.PushBack(vertex);
    MarkDirty();
}

void PolygonF::IntersectConvex(const PolygonF& a, const PolygonF& b, PolygonF& out,
                               std::uint32_t attributes)
{
    const int n = a.GetVertexCount();
    const int m = b.GetVertexCount();
    out.Clear();
    int ia = 0;
    int ib = 0;
    if (n < 3 || m < 3 || !FindCrossingEdges(a, b, ia, ib)) {
        // No crossing: one holds the other, or they are apart.
        if (n >= 3 && m >= 3 && a.ContainsAllOf(b)) {
            out = b;
        } else if (n >= 3 && m >= 3 && b.ContainsAllOf(a)) {
            out = a;
            out.InterpolateFrom(b, attributes);
        }
        return;
    }
    // Indices count up without wrapping, so that a whole turn shows.
    const int startA = ia;
    const int startB = ib;
    bool sideA = true;
    // Each step appends at most one vertex; a closed walk needs fewer steps
    // than this, so the bound only guards against degenerate input.
    const int maxSteps = 4 * (n + m) + 4;
    for (int step = 0; step < maxSteps; ++step) {
        SegmentCrossing crossing;
        bool found = false;
        if (sideA) {
            for (int k = 0; k < n && !found; ++k) {
                found = SegmentIntersect(b.At(ib), b.At(ib + 1), a.At(ia), a.At(ia + 1), &crossing) == kSegmentsCross;
                if (!found)
                    ++ia;
            }
        } else {
            for (int k = 0; k < m && !found; ++k) {
                found = SegmentIntersect(a.At(ia), a.At(ia + 1), b.At(ib), b.At(ib + 1), &crossing) == kSegmentsCross;
                if (!found)
                    ++ib;
            }
        }
        if (found) {
            if (crossing.isNew) {
                PolygonPointF vertex = b.At(ib);
                vertex.x = crossing.point.x;
                vertex.y = crossing.point.y;
                Lerp(vertex, b.At(ib), b.At(ib + 1), sideA ? crossing.weightP : crossing.weightQ, attributes);
                out.AppendUnlessRepeated(vertex);
            }
            sideA = !sideA;
        } else if (sideA) {
            ++ib;
            out.AppendUnlessRepeated(b.At(ib));
        } else {
            ++ia;
            PolygonPointF vertex = a.At(ia);
            b.InterpolateVertex(vertex, attributes);
            out.AppendUnlessRepeated(vertex);
        }
        if (step > 0) {
            if (sideA && (ib - startB) % m == 0)
                break;
            if (!sideA && (ia - startA) % n == 0)
                break;
        }
    }
}

void PolygonF::Transform(const Matrix3x3& matrix)
{
    for (PolygonPointF& v : m_Vertices) {
        const PointF mapped = matrix.Map(v);
        v.x = mapped.x;
        v.y = mapped.y;
    }
    m_ConvexDirty = true;
    if (!IsConvex())
        Reverse();   // a mirroring transform reverses the turn
    m_RectDirty = true;
    m_BoundsDirty = true;
}

void PolygonF::Reverse()
{
    std::reverse(m_Vertices.begin(), m_Vertices.end());
    m_ConvexDirty = true;
    m_RectDirty = true;
}

void PolygonF::SetColor(const Color& color)
{
    for (PolygonPointF& v : m_Vertices)
        v.color = color;
}

void PolygonF::MultiplyColor(const Color& color)
{
    if (color == Color(1, 1, 1, 1))
        return;
    for (PolygonPointF& v : m_Vertices) {
        v.color.a *= color.a;
        v.color.r *= color.r;
        v.color.g *= color.g;
        v.color.b *= color.b;
        v.color.dirty = true;
    }
}

void PolygonF::MapTexture(float offsetU, float offsetV, float scaleU, float scaleV, bool flipU, bool flipV)
{
    for (PolygonPointF& v : m_Vertices) {
        if (flipU)
            v.u = 1 - v.u;
        if (flipV)
            v.v = 1 - v.v;
        v.u = v.u * scaleU + offsetU;
        v.v = v.v * scaleV + offsetV;
    }
}

void PolygonF::AdjustForOutline()
{
    MarkDirty();
    const int n = GetVertexCount();
    if (n == 0)
        return;
    const GFVector<PolygonPointF> original = m_Vertices;
    auto unmoved = [&](int i) -> const PointF& { return original[((i % n) + n) % n]; };
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;   // vertex 1 .. n - 1, then vertex 0
        const PointF in = Unit(unmoved(i - 1), unmoved(i));
        // Vertex 0's outgoing edge already sees vertex 1 moved.
        const PointF out = i == 0 ? Unit(unmoved(0), At(1)) : Unit(unmoved(i), unmoved(i + 1));
        PolygonPointF& v = m_Vertices[i];
        if (Shifted(in)) {
            v.x += -in.y;
            v.y += in.x;
        }
        if (Shifted(out)) {
            v.x += -out.y;
            v.y += out.x;
        }
    }
}

bool PolygonF::InterpolateVertex(PolygonPointF& vertex, std::uint32_t attributes) const
{
    const int n = GetVertexCount();
    for (int i = 0; i + 2 < n; ++i) {
        const PolygonPointF& p0 = m_Vertices[0];
        const PolygonPointF& p1 = m_Vertices[i + 1];
        const PolygonPointF& p2 = m_Vertices[i + 2];
        const float area = (p1.x - p0.x) * (p2.y - p0.y) - (p1.y - p0.y) * (p2.x - p0.x);
        if (std::fabs(area) <= std::numeric_limits<float>::epsilon())
            continue;
        const float w1 = ((vertex.x - p0.x) * (p2.y - p0.y) - (vertex.y - p0.y) * (p2.x - p0.x)) / area;
        const float w2 = ((p1.x - p0.x) * (vertex.y - p0.y) - (p1.y - p0.y) * (vertex.x - p0.x)) / area;
        const float w0 = 1 - w1 - w2;
        const float slack = -kGeometryTolerance;
        if (w0 >= slack && w1 >= slack && w2 >= slack) {
            const PolygonPointF* points[3] = {&p0, &p1, &p2};
            const float weights[3] = {w0, w1, w2};
            vertex.BlendAttributes(points, weights, 3, attributes);
            return true;
        }
    }
    SetDefaults(vertex, attributes);
    return false;
}

void PolygonF::InterpolateFrom(const PolygonF& source, std::uint32_t attributes)
{
    for (PolygonPointF& v : m_Vertices)
        source.InterpolateVertex(v, attributes);
}

} // namespace Qmv2
