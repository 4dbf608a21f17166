#pragma once

#include <cmath>

namespace RenderLib {

struct Vector3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  Vector3() = default;
  constexpr Vector3(float xValue, float yValue, float zValue) : x(xValue), y(yValue), z(zValue) {}

  float& operator[](int axis) { return (&x)[axis]; }
  float operator[](int axis) const { return (&x)[axis]; }

  Vector3& operator+=(const Vector3& b) { x += b.x; y += b.y; z += b.z; return *this; }
  Vector3& operator-=(const Vector3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
  Vector3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }

  // Scales to unit length unless the vector is shorter than 0.00001, which is left as it is.
  // Returns the length it had.
  float Normalize() {
    float length = std::sqrt(x * x + y * y + z * z);
    if (length >= 0.00001f) {
      x /= length;
      y /= length;
      z /= length;
    }
    return length;
  }
};

inline Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator-(const Vector3& a) { return {-a.x, -a.y, -a.z}; }
inline Vector3 operator*(const Vector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator*(float s, const Vector3& a) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator/(const Vector3& a, float s) { return {a.x / s, a.y / s, a.z / s}; }
inline bool operator==(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

inline float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float Length(const Vector3& a) { return std::sqrt(Dot(a, a)); }

// No guard: the caller guarantees a non-zero vector.
inline Vector3 Normalized(const Vector3& a) { return a / Length(a); }

inline Vector3 NormalizedCross(const Vector3& a, const Vector3& b) { return Normalized(Cross(a, b)); }

}  // namespace RenderLib
