#include "framework/core/util/Matrix3x3.h"

#include <cmath>

namespace Qmv2 {

namespace {

constexpr float kHuge = 1e20f;

} // namespace

Matrix3x3::Matrix3x3()
    : m00(1), m01(0), m02(0), m10(0), m11(1), m12(0), m20(0), m21(0), m22(1)
{
}

Matrix3x3& Matrix3x3::operator=(const Matrix3x3& other)
{
    if (this != &other) {
        m00 = other.m00; m01 = other.m01; m02 = other.m02;
        m10 = other.m10; m11 = other.m11; m12 = other.m12;
        m20 = other.m20; m21 = other.m21; m22 = other.m22;
    }
    return *this;
}

Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b)
{
    Matrix3x3 r;
    r.m00 = a.m00 * b.m00 + a.m01 * b.m10 + a.m02 * b.m20;
    r.m01 = a.m00 * b.m01 + a.m01 * b.m11 + a.m02 * b.m21;
    r.m02 = a.m00 * b.m02 + a.m01 * b.m12 + a.m02 * b.m22;
    r.m10 = a.m10 * b.m00 + a.m11 * b.m10 + a.m12 * b.m20;
    r.m11 = a.m10 * b.m01 + a.m11 * b.m11 + a.m12 * b.m21;
    r.m12 = a.m10 * b.m02 + a.m11 * b.m12 + a.m12 * b.m22;
    r.m20 = a.m20 * b.m00 + a.m21 * b.m10 + a.m22 * b.m20;
    r.m21 = a.m20 * b.m01 + a.m21 * b.m11 + a.m22 * b.m21;
    r.m22 = a.m20 * b.m02 + a.m21 * b.m12 + a.m22 * b.m22;
    return r;
}

Matrix3x3& Matrix3x3::operator*=(const Matrix3x3& m)
{
    *this = *this * m;
    return *this;
}

void Matrix3x3::SetTransform(float x, float y, float rotation, float scaleX, float scaleY,
                             float skewX, float skewY, const PointF& pivot)
{
    const float c = std::cos(rotation);
    const float s = std::sin(rotation);
    const float A = scaleX * c;
    const float B = -scaleY * s;
    const float D = scaleX * s;
    const float E = scaleY * c;
    m00 = A + skewY * B;
    m01 = B + skewX * A;
    m10 = D + skewY * E;
    m11 = E + skewX * D;
    m02 = x + pivot.x - (m00 * pivot.x + m01 * pivot.y);
    m12 = y + pivot.y - (m10 * pivot.x + m11 * pivot.y);
    m20 = 0; m21 = 0; m22 = 1;
}

void Matrix3x3::SetInverseTransform(float x, float y, float rotation, float scaleX, float scaleY,
                                    float skewX, float skewY, const PointF& pivot)
{
    const float c = std::cos(rotation);
    const float s = std::sin(rotation);
    // S^-1 R^-1, rows (c/sx, s/sx) and (-s/sy, c/sy).
    const float a00 = scaleX != 0 ? c / scaleX : kHuge;
    const float a01 = scaleX != 0 ? s / scaleX : kHuge;
    const float a10 = scaleY != 0 ? -s / scaleY : kHuge;
    const float a11 = scaleY != 0 ? c / scaleY : kHuge;
    // K^-1 = f [[1, -kx], [-ky, 1]].
    const float det = 1 - skewX * skewY;
    const float f = det != 0 ? 1 / det : kHuge;
    m00 = f * (a00 - skewX * a10);
    m01 = f * (a01 - skewX * a11);
    m10 = f * (a10 - skewY * a00);
    m11 = f * (a11 - skewY * a01);
    // Undo the move, then the linear part about the pivot.
    const float tx = x + pivot.x;
    const float ty = y + pivot.y;
    m02 = pivot.x - (m00 * tx + m01 * ty);
    m12 = pivot.y - (m10 * tx + m11 * ty);
    m20 = 0; m21 = 0; m22 = 1;
}

PointF Matrix3x3::Map(const PointF& p) const
{
    return PointF(m00 * p.x + m01 * p.y + m02, m10 * p.x + m11 * p.y + m12);
}

} // namespace Qmv2
