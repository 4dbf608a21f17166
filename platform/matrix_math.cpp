#include "platform/matrix_math.h"

#include <cmath>

namespace Platform {

Matrix MatrixIdentity() {
  Matrix result;
  for (int i = 0; i < 4; ++i) result.m[i][i] = 1.0f;
  return result;
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
  Matrix result;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      result.m[row][column] = a.m[row][0] * b.m[0][column] + a.m[row][1] * b.m[1][column] +
                              a.m[row][2] * b.m[2][column] + a.m[row][3] * b.m[3][column];
    }
  }
  return result;
}

bool MatrixInverse(const Matrix& m, Matrix* inverse, float* determinant) {
  // Cofactors through the 2 x 2 minors of the top and bottom row pairs, in double so that
  // a badly conditioned camera matrix still inverts cleanly.
  double a[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) a[r][c] = m.m[r][c];

  const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

  const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (determinant) *determinant = static_cast<float>(det);
  if (det == 0.0 || !std::isfinite(det)) {
    *inverse = MatrixIdentity();
    return false;
  }
  const double k = 1.0 / det;

  double b[4][4];
  b[0][0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3);
  b[0][1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3);
  b[0][2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3);
  b[0][3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3);
  b[1][0] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1);
  b[1][1] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1);
  b[1][2] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1);
  b[1][3] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1);
  b[2][0] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0);
  b[2][1] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0);
  b[2][2] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0);
  b[2][3] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0);
  b[3][0] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0);
  b[3][1] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0);
  b[3][2] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0);
  b[3][3] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0);
  // Nearly singular: the inverse would not fit in floats.
  Matrix result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      result.m[r][c] = static_cast<float>(b[r][c] * k);
      if (!std::isfinite(result.m[r][c])) {
        *inverse = MatrixIdentity();
        return false;
      }
    }
  }
  *inverse = result;
  return true;
}

Matrix MatrixInverse(const Matrix& m) {
  Matrix result;
  MatrixInverse(m, &result);
  return result;
}

Matrix MatrixTranspose(const Matrix& m) {
  Matrix result;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) result.m[r][c] = m.m[c][r];
  return result;
}

Matrix MatrixTranslation(float x, float y, float z) {
  Matrix result = MatrixIdentity();
  result.m[3][0] = x;
  result.m[3][1] = y;
  result.m[3][2] = z;
  return result;
}

Matrix MatrixScaling(float x, float y, float z) {
  Matrix result;
  result.m[0][0] = x;
  result.m[1][1] = y;
  result.m[2][2] = z;
  result.m[3][3] = 1.0f;
  return result;
}

Matrix MatrixRotationX(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  Matrix result = MatrixIdentity();
  result.m[1][1] = c;
  result.m[1][2] = s;
  result.m[2][1] = -s;
  result.m[2][2] = c;
  return result;
}

Matrix MatrixRotationY(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  Matrix result = MatrixIdentity();
  result.m[0][0] = c;
  result.m[0][2] = -s;
  result.m[2][0] = s;
  result.m[2][2] = c;
  return result;
}

Matrix MatrixRotationZ(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  Matrix result = MatrixIdentity();
  result.m[0][0] = c;
  result.m[0][1] = s;
  result.m[1][0] = -s;
  result.m[1][1] = c;
  return result;
}

Matrix MatrixRotationAxis(Float3 axis, float angle) {
  const Float3 a = Vec3Normalize(axis);
  if (a.x == 0.0f && a.y == 0.0f && a.z == 0.0f) return MatrixIdentity();
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float t = 1.0f - c;
  Matrix result = MatrixIdentity();
  result.m[0][0] = t * a.x * a.x + c;
  result.m[0][1] = t * a.x * a.y + s * a.z;
  result.m[0][2] = t * a.x * a.z - s * a.y;
  result.m[1][0] = t * a.x * a.y - s * a.z;
  result.m[1][1] = t * a.y * a.y + c;
  result.m[1][2] = t * a.y * a.z + s * a.x;
  result.m[2][0] = t * a.x * a.z + s * a.y;
  result.m[2][1] = t * a.y * a.z - s * a.x;
  result.m[2][2] = t * a.z * a.z + c;
  return result;
}

Matrix MatrixRotationQuaternion(Quaternion q) {
  const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
  const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
  const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
  Matrix result = MatrixIdentity();
  result.m[0][0] = 1.0f - 2.0f * (yy + zz);
  result.m[0][1] = 2.0f * (xy + wz);
  result.m[0][2] = 2.0f * (xz - wy);
  result.m[1][0] = 2.0f * (xy - wz);
  result.m[1][1] = 1.0f - 2.0f * (xx + zz);
  result.m[1][2] = 2.0f * (yz + wx);
  result.m[2][0] = 2.0f * (xz + wy);
  result.m[2][1] = 2.0f * (yz - wx);
  result.m[2][2] = 1.0f - 2.0f * (xx + yy);
  return result;
}

namespace {

// The view matrix whose +z is zAxis (a unit vector), +y towards up.
Matrix ViewWithZAxis(Float3 eye, Float3 zAxis, Float3 up) {
  const Float3 xAxis = Vec3Normalize(Vec3Cross(up, zAxis));
  const Float3 yAxis = Vec3Cross(zAxis, xAxis);
  Matrix result = MatrixIdentity();
  const Float3 axes[3] = {xAxis, yAxis, zAxis};
  for (int column = 0; column < 3; ++column) {
    result.m[0][column] = axes[column].x;
    result.m[1][column] = axes[column].y;
    result.m[2][column] = axes[column].z;
    result.m[3][column] = -Vec3Dot(axes[column], eye);
  }
  return result;
}

}  // namespace

Matrix MatrixLookAtLH(Float3 eye, Float3 lookAt, Float3 up) { return ViewWithZAxis(eye, Vec3Normalize(lookAt - eye), up); }

// +z points back at the eye, so the eye looks down -z with +x to its right.
Matrix MatrixLookAtRH(Float3 eye, Float3 lookAt, Float3 up) { return ViewWithZAxis(eye, Vec3Normalize(eye - lookAt), up); }

namespace {

// Depth 0 at the near plane and 1 at the far one, along +z (forward 1) or -z (forward -1) of
// the view.
Matrix PerspectiveFov(float fieldOfViewY, float aspect, float nearPlane, float farPlane, float forward) {
  const float yScale = 1.0f / std::tan(fieldOfViewY * 0.5f);
  const float depthScale = farPlane / (farPlane - nearPlane);
  Matrix result;
  result.m[0][0] = yScale / aspect;
  result.m[1][1] = yScale;
  result.m[2][2] = forward * depthScale;
  result.m[2][3] = forward;
  result.m[3][2] = -nearPlane * depthScale;
  return result;
}

}  // namespace

Matrix MatrixPerspectiveFovRH(float fieldOfViewY, float aspect, float nearPlane, float farPlane) {
  return PerspectiveFov(fieldOfViewY, aspect, nearPlane, farPlane, -1.0f);
}

Matrix MatrixPerspectiveFovLH(float fieldOfViewY, float aspect, float nearPlane, float farPlane) {
  return PerspectiveFov(fieldOfViewY, aspect, nearPlane, farPlane, 1.0f);
}

Matrix MatrixOrthoLH(float width, float height, float nearPlane, float farPlane) {
  return MatrixOrthoOffCenterLH(-width * 0.5f, width * 0.5f, -height * 0.5f, height * 0.5f, nearPlane, farPlane);
}

Matrix MatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float nearPlane, float farPlane) {
  Matrix result = MatrixIdentity();
  result.m[0][0] = 2.0f / (right - left);
  result.m[1][1] = 2.0f / (top - bottom);
  result.m[2][2] = 1.0f / (farPlane - nearPlane);
  result.m[3][0] = (left + right) / (left - right);
  result.m[3][1] = (top + bottom) / (bottom - top);
  result.m[3][2] = nearPlane / (nearPlane - farPlane);
  return result;
}

Quaternion QuaternionIdentity() { return {0.0f, 0.0f, 0.0f, 1.0f}; }

Quaternion QuaternionMultiply(Quaternion q1, Quaternion q2) {
  // Hamilton product q2 q1.
  return {q2.w * q1.x + q2.x * q1.w + q2.y * q1.z - q2.z * q1.y,
          q2.w * q1.y - q2.x * q1.z + q2.y * q1.w + q2.z * q1.x,
          q2.w * q1.z + q2.x * q1.y - q2.y * q1.x + q2.z * q1.w,
          q2.w * q1.w - q2.x * q1.x - q2.y * q1.y - q2.z * q1.z};
}

Quaternion QuaternionRotationMatrix(const Matrix& m) {
  // Take the square root of the largest of w², x², y², z² so the divisions stay well away
  // from zero.
  const float m00 = m.m[0][0], m11 = m.m[1][1], m22 = m.m[2][2];
  const float trace = m00 + m11 + m22;
  Quaternion q;
  if (trace > 0.0f) {
    const float s = std::sqrt(trace + 1.0f) * 2.0f;  // 4w
    q.w = 0.25f * s;
    q.x = (m.m[1][2] - m.m[2][1]) / s;
    q.y = (m.m[2][0] - m.m[0][2]) / s;
    q.z = (m.m[0][1] - m.m[1][0]) / s;
  } else if (m00 >= m11 && m00 >= m22) {
    const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;  // 4x
    q.x = 0.25f * s;
    q.y = (m.m[0][1] + m.m[1][0]) / s;
    q.z = (m.m[0][2] + m.m[2][0]) / s;
    q.w = (m.m[1][2] - m.m[2][1]) / s;
  } else if (m11 >= m22) {
    const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;  // 4y
    q.x = (m.m[0][1] + m.m[1][0]) / s;
    q.y = 0.25f * s;
    q.z = (m.m[1][2] + m.m[2][1]) / s;
    q.w = (m.m[2][0] - m.m[0][2]) / s;
  } else {
    const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;  // 4z
    q.x = (m.m[0][2] + m.m[2][0]) / s;
    q.y = (m.m[1][2] + m.m[2][1]) / s;
    q.z = 0.25f * s;
    q.w = (m.m[0][1] - m.m[1][0]) / s;
  }
  return QuaternionNormalize(q);
}

Quaternion QuaternionRotationAxis(Float3 axis, float angle) {
  const Float3 a = Vec3Normalize(axis);
  if (a.x == 0.0f && a.y == 0.0f && a.z == 0.0f) return QuaternionIdentity();
  const float s = std::sin(angle * 0.5f);
  return {a.x * s, a.y * s, a.z * s, std::cos(angle * 0.5f)};
}

Quaternion QuaternionNormalize(Quaternion q) {
  const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (!(length > 0.0f)) return QuaternionIdentity();
  const float k = 1.0f / length;
  return {q.x * k, q.y * k, q.z * k, q.w * k};
}

Float3 Vec3Normalize(Float3 v) {
  const float length = Vec3Length(v);
  if (!(length > 0.0f)) return {};
  return v * (1.0f / length);
}

Float3 Vec3Cross(Float3 a, Float3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vec3Dot(Float3 a, Float3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float Vec3Length(Float3 v) { return std::sqrt(Vec3Dot(v, v)); }

Float3 Vec3TransformCoord(Float3 v, const Matrix& m) {
  const Float4 r = Vec4Transform({v.x, v.y, v.z, 1.0f}, m);
  if (r.w == 0.0f) return {r.x, r.y, r.z};
  const float k = 1.0f / r.w;
  return {r.x * k, r.y * k, r.z * k};
}

Float3 Vec3TransformNormal(Float3 v, const Matrix& m) {
  const Float4 r = Vec4Transform({v.x, v.y, v.z, 0.0f}, m);
  return {r.x, r.y, r.z};
}

Float4 Vec4Transform(Float4 v, const Matrix& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + v.w * m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + v.w * m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + v.w * m.m[3][2],
          v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + v.w * m.m[3][3]};
}

}  // namespace Platform
