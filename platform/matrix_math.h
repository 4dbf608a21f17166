#pragma once

// Matrices, vectors and quaternions for the camera, the scene and the GUI. Row vectors
// (v' = v * M), so a translation sits in row 3, and projections map depth to 0..1. A matrix
// product A * B applies A first, then B. The scene is right-handed, as glTF and OBJ files are:
// its view space has +x to the right, +y up and the viewer on +z, looking down -z (the ...RH
// functions). The left-handed ones (looking down +z) mirror a right-handed model.
namespace Platform {

struct Float2 {
  float x = 0.0f;
  float y = 0.0f;
};

struct Float3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct Float4 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 0.0f;
};

// m[row][column]; element _RC of the classic notation is m[R-1][C-1]. Laid out as 16
// consecutive floats, row by row, ready to hand to a shader.
struct Matrix {
  float m[4][4] = {};

  const float* Data() const { return &m[0][0]; }
  float* Data() { return &m[0][0]; }
};

// A rotation as (x, y, z) = axis * sin(angle / 2), w = cos(angle / 2).
struct Quaternion {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 1.0f;
};

inline Float3 operator+(Float3 a, Float3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Float3 operator-(Float3 a, Float3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Float3 operator-(Float3 a) { return {-a.x, -a.y, -a.z}; }
inline Float3 operator*(Float3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Float3 operator*(float s, Float3 a) { return a * s; }
inline Float3& operator+=(Float3& a, Float3 b) { return a = a + b; }
inline Float3& operator-=(Float3& a, Float3 b) { return a = a - b; }

Matrix MatrixIdentity();
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
inline Matrix operator*(const Matrix& a, const Matrix& b) { return MatrixMultiply(a, b); }

// Writes the inverse of m to *inverse and returns true. A singular matrix (determinant zero,
// or so near zero that the inverse does not fit in floats) writes the identity and returns
// false. The determinant is reported through determinant when given, in either case.
bool MatrixInverse(const Matrix& m, Matrix* inverse, float* determinant = nullptr);
// The inverse, or the identity when m is singular.
Matrix MatrixInverse(const Matrix& m);
Matrix MatrixTranspose(const Matrix& m);

Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
// Rotations by angle radians; (1, 0, 0) * MatrixRotationZ(pi / 2) = (0, 1, 0).
Matrix MatrixRotationX(float angle);
Matrix MatrixRotationY(float angle);
Matrix MatrixRotationZ(float angle);
// About an axis of any non-zero length; a zero axis gives the identity.
Matrix MatrixRotationAxis(Float3 axis, float angle);
// The rotation of a unit quaternion.
Matrix MatrixRotationQuaternion(Quaternion q);

// View matrix: eye goes to the origin, the direction to lookAt to -z, up towards +y.
Matrix MatrixLookAtRH(Float3 eye, Float3 lookAt, Float3 up);
// fieldOfViewY in radians, aspect = width / height; view depth nearPlane..farPlane (at view
// z = -nearPlane .. -farPlane) maps to 0..1 after the divide by w (w = -view-space z).
Matrix MatrixPerspectiveFovRH(float fieldOfViewY, float aspect, float nearPlane, float farPlane);

// View matrix: eye goes to the origin, the direction to lookAt to +z, up towards +y.
Matrix MatrixLookAtLH(Float3 eye, Float3 lookAt, Float3 up);
// fieldOfViewY in radians, aspect = width / height; view depth nearPlane..farPlane maps to 0..1
// after the divide by w (w = view-space z).
Matrix MatrixPerspectiveFovLH(float fieldOfViewY, float aspect, float nearPlane, float farPlane);
// A width x height box centred on the view axis; depth nearPlane..farPlane maps to 0..1.
Matrix MatrixOrthoLH(float width, float height, float nearPlane, float farPlane);
// The box left..right, bottom..top maps to -1..1 on x and y; depth to 0..1.
Matrix MatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float nearPlane, float farPlane);

Quaternion QuaternionIdentity();
// The rotation q1 followed by q2 (the Hamilton product q2 q1), so that
// MatrixRotationQuaternion(QuaternionMultiply(q1, q2)) = M(q1) * M(q2).
Quaternion QuaternionMultiply(Quaternion q1, Quaternion q2);
// The rotation held in the upper 3 x 3 of m (which must be a rotation, possibly with a
// translation row), as a unit quaternion.
Quaternion QuaternionRotationMatrix(const Matrix& m);
// About an axis of any non-zero length; a zero axis gives the identity.
Quaternion QuaternionRotationAxis(Float3 axis, float angle);
// A zero quaternion gives the identity.
Quaternion QuaternionNormalize(Quaternion q);

// A zero vector stays zero.
Float3 Vec3Normalize(Float3 v);
Float3 Vec3Cross(Float3 a, Float3 b);
float Vec3Dot(Float3 a, Float3 b);
float Vec3Length(Float3 v);
// (x, y, z, 1) * m, divided by the resulting w (left undivided when w is 0).
Float3 Vec3TransformCoord(Float3 v, const Matrix& m);
// (x, y, z, 0) * m: directions ignore the translation.
Float3 Vec3TransformNormal(Float3 v, const Matrix& m);
Float4 Vec4Transform(Float4 v, const Matrix& m);

}  // namespace Platform
