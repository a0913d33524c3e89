#pragma once

#include "framework/core/util/Matrix3x3.h"
#include "framework/core/util/PolygonPointF.h"
#include "framework/core/util/Rect.h"

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"

namespace Qmv2 {

// A polygon with per-vertex colour and texture coordinates and cached bounds,
// convexity and rectangle state. Convex means every corner turns the
// positive way: (a - c) x (b - c) >= 0 for each run of three vertices, which
// is the order SetRect gives (top left, top right, bottom right, bottom left
// on a y-down screen).
class PolygonF : public BaseObject {
    QMV_CLASS_TYPE(PolygonF, BaseObject)

public:
    enum Relation { kInside = 0, kApart = 1, kCrossing = 2, kEnclosed = 3 };

    PolygonF();
    PolygonF(float x, float y, float width, float height);
    PolygonF(const PolygonF& other);
    PolygonF& operator=(const PolygonF& other);
    ~PolygonF() override = default;

    // Four corners from the rectangle (width and height may be negative),
    // texture coordinates (0, 0) to (1, 1).
    void SetRect(float x, float y, float width, float height);

    int GetVertexCount() const { return m_Vertices.GetCount(); }
    const PolygonPointF& GetVertex(int index) const { return m_Vertices[index]; }
    const GFVector<PolygonPointF>& GetVertices() const { return m_Vertices; }
    void AddVertex(const PolygonPointF& vertex);
    void SetVertex(int index, const PolygonPointF& vertex);
    void Clear();
    // Cached bounds, convexity and rectangle state are recomputed on next use.
    void MarkDirty();

    RectF GetBounds() const;
    bool IsRectangle() const;
    bool IsConvex() const;

    // Inside the half-open bounds and on the inner side of every edge (points
    // within the tolerance of an edge's line count as inside).
    bool Contains(const PointF& point) const;
    // Every vertex of other on the inner side of every edge of this.
    bool ContainsAllOf(const PolygonF& other) const;
    // kInside: other lies inside this; kEnclosed: this lies inside other;
    // kCrossing: the boundaries cross; kApart.
    int Classify(const PolygonF& other) const;

    // The intersection of a and b into out. b carries the colours and texture
    // coordinates: the attributes selected by the flags are interpolated from
    // b. Both must be convex; otherwise out is left as it is.
    static void Intersect(const PolygonF& a, const PolygonF& b, PolygonF& out, std::uint32_t attributes);

    void Transform(const Matrix3x3& matrix);
    void Reverse();
    void SetColor(const Color& color);
    void MultiplyColor(const Color& color);
    void MapTexture(float offsetU, float offsetV, float scaleU, float scaleV, bool flipU, bool flipV);
    // Moves the right and bottom edges in by one pixel so that an outline
    // runs over the last row and column that the filled shape covers.
    void AdjustForOutline();
    // Colour and texture coordinates of every vertex taken from source.
    void InterpolateFrom(const PolygonF& source, std::uint32_t attributes);
    // The attributes of vertex by the fan triangle of this polygon that holds
    // it (texture (0, 0) and opaque white when none does); answers whether
    // one did.
    bool InterpolateVertex(PolygonPointF& vertex, std::uint32_t attributes) const;

private:
    static void IntersectRectangles(const PolygonF& a, const PolygonF& b, PolygonF& out, std::uint32_t attributes);
    static void IntersectConvex(const PolygonF& a, const PolygonF& b, PolygonF& out, std::uint32_t attributes);
    static bool FindCrossingEdges(const PolygonF& a, const PolygonF& b, int& edgeA, int& edgeB);
    void AppendUnlessRepeated(const PolygonPointF& vertex);
    bool EdgesCross(const PolygonF& other) const;
    const PolygonPointF& At(int index) const;

    mutable bool m_BoundsDirty = false;
    mutable bool m_ConvexDirty = false;
    mutable bool m_RectDirty = false;
    mutable bool m_IsRectangle = false;
    mutable bool m_IsConvex = true;
    GFVector<PolygonPointF> m_Vertices;
    mutable RectF m_Bounds;
};

} // namespace Qmv2
