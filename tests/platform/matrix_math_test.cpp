#include "platform/matrix_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace Platform {
namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectNear(Float3 actual, Float3 expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const Matrix& actual, const Matrix& expected, float tolerance) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "element " << r << c;
}

class RandomValues {
public:
  float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine); }
  Float3 Vector(float extent) { return {Uniform(-extent, extent), Uniform(-extent, extent), Uniform(-extent, extent)}; }
  Quaternion Rotation() { return QuaternionRotationAxis(Vector(1.0f), Uniform(-kPi, kPi)); }

private:
  std::mt19937 engine{1234};
};

TEST(MatrixMath, RotationsTurnKnownVectorsAQuarterTurn) {
  ExpectNear(Vec3TransformCoord({1, 0, 0}, MatrixRotationZ(kPi / 2)), {0, 1, 0});
  ExpectNear(Vec3TransformCoord({0, 1, 0}, MatrixRotationX(kPi / 2)), {0, 0, 1});
  ExpectNear(Vec3TransformCoord({0, 0, 1}, MatrixRotationY(kPi / 2)), {1, 0, 0});
  ExpectNear(Vec3TransformCoord({1, 0, 0}, MatrixRotationAxis({0, 0, 5}, kPi / 2)), {0, 1, 0});
  ExpectNear(Vec3TransformCoord({1, 0, 0}, MatrixRotationQuaternion(QuaternionRotationAxis({0, 0, 1}, kPi / 2))),
             {0, 1, 0});
  // About the diagonal, a third of a turn cycles the axes.
  ExpectNear(Vec3TransformCoord({1, 0, 0}, MatrixRotationAxis({1, 1, 1}, 2 * kPi / 3)), {0, 1, 0});
}

TEST(MatrixMath, TransformsDivideByWAndDirectionsIgnoreTranslation) {
  const Matrix move = MatrixTranslation(1, 2, 3);
  ExpectNear(Vec3TransformCoord({1, 1, 1}, move), {2, 3, 4});
  ExpectNear(Vec3TransformNormal({1, 1, 1}, move), {1, 1, 1});
  Matrix halve = MatrixIdentity();
  halve.m[3][3] = 2.0f;
  ExpectNear(Vec3TransformCoord({4, 6, 8}, halve), {2, 3, 4});
  ExpectNear(Vec3TransformCoord({1, 2, 3}, MatrixScaling(2, 3, 4) * move), {3, 8, 15});
}

TEST(MatrixMath, PerspectiveAndOrthoMapNearToDepthZeroAndFarToOne) {
  const float nearPlane = 0.25f, farPlane = 40.0f;
  const Matrix perspective = MatrixPerspectiveFovLH(kPi / 4, 4.0f / 3.0f, nearPlane, farPlane);
  for (float xy : {0.0f, 0.1f, -0.2f}) {
    const Float4 atNear = Vec4Transform({xy, xy, nearPlane, 1}, perspective);
    const Float4 atFar = Vec4Transform({xy * 100, xy * 100, farPlane, 1}, perspective);
    EXPECT_NEAR(atNear.w, nearPlane, 1e-6f);
    EXPECT_NEAR(atNear.z / atNear.w, 0.0f, 1e-5f);
    EXPECT_NEAR(atFar.z / atFar.w, 1.0f, 1e-5f);
  }
  // The top edge of the field of view lands on y = 1; the right edge on x = 1.
  const float halfHeight = std::tan(kPi / 8) * 10.0f;
  ExpectNear(Vec3TransformCoord({halfHeight * 4.0f / 3.0f, halfHeight, 10}, perspective),
             {1, 1, Vec3TransformCoord({0, 0, 10}, perspective).z});

  const Matrix ortho = MatrixOrthoLH(8, 6, nearPlane, farPlane);
  ExpectNear(Vec3TransformCoord({4, -3, nearPlane}, ortho), {1, -1, 0});
  ExpectNear(Vec3TransformCoord({-4, 3, farPlane}, ortho), {-1, 1, 1});
  const Matrix offCentre = MatrixOrthoOffCenterLH(10, 30, -5, 15, 1, 3);
  ExpectNear(Vec3TransformCoord({10, -5, 1}, offCentre), {-1, -1, 0});
  ExpectNear(Vec3TransformCoord({30, 15, 3}, offCentre), {1, 1, 1});
}

TEST(MatrixMath, LookAtPutsEyeAtOriginAndTargetOnPositiveZ) {
  RandomValues random;
  for (int i = 0; i < 50; ++i) {
    const Float3 eye = random.Vector(20), target = random.Vector(20);
    const Matrix view = MatrixLookAtLH(eye, target, {0, 1, 0});
    ExpectNear(Vec3TransformCoord(eye, view), {0, 0, 0}, 1e-4f);
    ExpectNear(Vec3TransformCoord(target, view), {0, 0, Vec3Length(target - eye)}, 1e-4f);
    // Up stays up, and x = up × forward: left-handed.
    EXPECT_GT(Vec3TransformNormal({0, 1, 0}, view).y, 0.0f);
    const Float3 forward = Vec3Normalize(target - eye);
    const Float3 right = Vec3Normalize(Vec3Cross({0, 1, 0}, forward));
    ExpectNear(Vec3TransformNormal(right, view), {1, 0, 0}, 1e-4f);
  }
}

TEST(MatrixMath, RightHandedViewShowsPlusXOnTheRightFromPlusZ) {
  // From the +z side looking back at the origin, +x is to the right and +y up: the picture is
  // not mirrored against the right-handed model.
  const Matrix view = MatrixLookAtRH({0, 0, 5}, {0, 0, 0}, {0, 1, 0});
  const Matrix toClip = view * MatrixPerspectiveFovRH(kPi / 4, 1.0f, 1.0f, 9.0f);
  EXPECT_GT(Vec3TransformCoord({1, 0, 0}, toClip).x, 0.0f);
  EXPECT_GT(Vec3TransformCoord({0, 1, 0}, toClip).y, 0.0f);

  RandomValues random;
  for (int i = 0; i < 50; ++i) {
    const Float3 eye = random.Vector(20), target = random.Vector(20);
    const Matrix randomView = MatrixLookAtRH(eye, target, {0, 1, 0});
    ExpectNear(Vec3TransformCoord(eye, randomView), {0, 0, 0}, 1e-4f);
    ExpectNear(Vec3TransformCoord(target, randomView), {0, 0, -Vec3Length(target - eye)}, 1e-4f);
    const Float3 right = Vec3Normalize(Vec3Cross(target - eye, {0, 1, 0}));
    ExpectNear(Vec3TransformNormal(right, randomView), {1, 0, 0}, 1e-4f);
  }

  // Depth runs 0 at the near plane to 1 at the far one, in front of the eye (view z < 0).
  const float nearPlane = 0.25f, farPlane = 40.0f;
  const Matrix perspective = MatrixPerspectiveFovRH(kPi / 4, 4.0f / 3.0f, nearPlane, farPlane);
  const Float4 atNear = Vec4Transform({0.1f, 0.1f, -nearPlane, 1}, perspective);
  const Float4 atFar = Vec4Transform({-3, 2, -farPlane, 1}, perspective);
  EXPECT_NEAR(atNear.w, nearPlane, 1e-6f);
  EXPECT_NEAR(atNear.z / atNear.w, 0.0f, 1e-5f);
  EXPECT_NEAR(atFar.z / atFar.w, 1.0f, 1e-5f);
  const float halfHeight = std::tan(kPi / 8) * 10.0f;
  ExpectNear(Vec3TransformCoord({halfHeight * 4.0f / 3.0f, halfHeight, -10}, perspective),
             {1, 1, Vec3TransformCoord({0, 0, -10}, perspective).z});
}

TEST(MatrixMath, InverseUndoesRandomMatricesAndRejectsSingularOnes) {
  RandomValues random;
  for (int i = 0; i < 100; ++i) {
    Matrix m;
    for (auto& row : m.m)
      for (float& value : row) value = random.Uniform(-3, 3);
    Matrix inverse;
    float determinant = 0;
    ASSERT_TRUE(MatrixInverse(m, &inverse, &determinant));
    EXPECT_NE(determinant, 0.0f);
    ExpectNear(m * inverse, MatrixIdentity(), 2e-4f);
    ExpectNear(inverse * m, MatrixIdentity(), 2e-4f);
  }

  float determinant = 0;
  Matrix inverse;
  ASSERT_TRUE(MatrixInverse(MatrixScaling(2, 3, 4) * MatrixTranslation(5, 6, 7), &inverse, &determinant));
  EXPECT_FLOAT_EQ(determinant, 24.0f);
  ExpectNear(Vec3TransformCoord({7, 9, 11}, inverse), {1, 1, 1});

  Matrix singular = MatrixTranslation(4, 5, 6);
  singular.m[2][0] = 2.0f;  // row 2 = 2 * row 0
  singular.m[2][2] = 0.0f;
  inverse = MatrixTranslation(1, 1, 1);
  EXPECT_FALSE(MatrixInverse(singular, &inverse, &determinant));
  EXPECT_EQ(determinant, 0.0f);
  ExpectNear(inverse, MatrixIdentity(), 0.0f);
  ExpectNear(MatrixInverse(singular), MatrixIdentity(), 0.0f);
}

bool SameRotation(Quaternion a, Quaternion b) {
  const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  return std::fabs(std::fabs(dot) - 1.0f) < 1e-5f;
}

TEST(MatrixMath, QuaternionsRoundTripThroughMatricesAndAgreeWithAxisRotations) {
  RandomValues random;
  for (int i = 0; i < 200; ++i) {
    const Float3 axis = random.Vector(1);
    const float angle = random.Uniform(-kPi, kPi);
    const Quaternion q = QuaternionRotationAxis(axis, angle);
    const Matrix m = MatrixRotationQuaternion(q);
    ExpectNear(m, MatrixRotationAxis(axis, angle), 1e-5f);
    // A translation row must not disturb the rotation read back.
    EXPECT_TRUE(SameRotation(QuaternionRotationMatrix(m * MatrixTranslation(3, -2, 9)), q));
  }
  // Half turns, where the trace is -1 and the branches on the diagonal decide.
  for (Float3 axis : {Float3{1, 0, 0}, Float3{0, 1, 0}, Float3{0, 0, 1}, Float3{1, 1, 0}}) {
    const Quaternion q = QuaternionRotationAxis(axis, kPi);
    EXPECT_TRUE(SameRotation(QuaternionRotationMatrix(MatrixRotationQuaternion(q)), q));
  }
}

TEST(MatrixMath, QuaternionProductAppliesTheFirstRotationFirst) {
  // x turned a quarter about z becomes y; then a quarter about x takes y to z.
  const Quaternion aboutZ = QuaternionRotationAxis({0, 0, 1}, kPi / 2);
  const Quaternion aboutX = QuaternionRotationAxis({1, 0, 0}, kPi / 2);
  ExpectNear(Vec3TransformCoord({1, 0, 0}, MatrixRotationQuaternion(QuaternionMultiply(aboutZ, aboutX))), {0, 0, 1});

  RandomValues random;
  for (int i = 0; i < 100; ++i) {
    const Quaternion q1 = random.Rotation(), q2 = random.Rotation();
    ExpectNear(MatrixRotationQuaternion(QuaternionMultiply(q1, q2)),
               MatrixRotationQuaternion(q1) * MatrixRotationQuaternion(q2), 1e-5f);
  }
  const Quaternion q = random.Rotation();
  EXPECT_TRUE(SameRotation(QuaternionMultiply(q, QuaternionIdentity()), q));
  const Quaternion normalised = QuaternionNormalize({0, 0, 3, 4});
  EXPECT_FLOAT_EQ(normalised.z, 0.6f);
  EXPECT_FLOAT_EQ(normalised.w, 0.8f);
  EXPECT_FLOAT_EQ(QuaternionNormalize({0, 0, 0, 0}).w, 1.0f);
}

}  // namespace
}  // namespace Platform
