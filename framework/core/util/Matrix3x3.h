#pragma once

#include "framework/core/util/Point.h"

namespace Qmv2 {

// A 2-D affine transform as a 3x3 matrix; maps (x, y) to
// (m00 x + m01 y + m02, m10 x + m11 y + m12). New matrices are the identity.
class Matrix3x3 {
public:
    Matrix3x3();
    Matrix3x3(const Matrix3x3& other) = default;
    Matrix3x3& operator=(const Matrix3x3& other);
    virtual ~Matrix3x3() = default;

    // this = this x m.
    Matrix3x3& operator*=(const Matrix3x3& m);
    friend Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b);

    // The transform p -> R S K (p - pivot) + pivot + (x, y): skew, then scale,
    // then rotation (radians), all about the pivot, then the move.
    void SetTransform(float x, float y, float rotation, float scaleX, float scaleY,
                      float skewX, float skewY, const PointF& pivot);
    // The inverse of SetTransform's matrix for the same values; a factor that
    // would divide by zero becomes 1e20.
    void SetInverseTransform(float x, float y, float rotation, float scaleX, float scaleY,
                             float skewX, float skewY, const PointF& pivot);

    PointF Map(const PointF& p) const;

    float m00, m01, m02;
    float m10, m11, m12;
    float m20, m21, m22;
};

} // namespace Qmv2
