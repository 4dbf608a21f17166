#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "renderlib/gltf_loader.h"
#include "tests/renderlib/gltf_test_file.h"
#include "tests/renderlib/temporary_folder.h"

// What the glTF reader's tests share: a folder for the files they write, the reader's messages,
// and checks of the geometry it gives.
class GltfLoader : public testing::Test {
protected:
  std::unique_ptr<RenderLib::ObjModel> Load(const std::string& path,
                                            RenderLib::Textures textures = RenderLib::Textures::kLoad) {
    messages.clear();
    return RenderLib::LoadGltf(path.c_str(), &messages, textures);
  }

  // A triangle on the plane x + y = 1 with its normal, texture coordinates and indices.
  void AddSlantedTriangle(GltfTestFile& file) {
    file.Floats({1, 0, 0, 0, 1, 0, 0, 1, 1}, "VEC3", 3);
    const float n = std::sqrt(0.5f);
    file.Floats({n, n, 0, n, n, 0, n, n, 0}, "VEC3", 3);
    file.Floats({0, 0, 1, 0, 0, 1}, "VEC2", 2);
    file.Indices({0, 1, 2});
    file.meshes = R"([{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2},"indices":3}]}])";
  }

  // Every triangle's corners turn anticlockwise around the normals its vertices carry, so the
  // model faces the way the file meant.
  static void ExpectNormalsFollowWinding(const RenderLib::ObjModel& model) {
    for (const RenderLib::MeshGroup& group : model.groups) {
      for (size_t i = 0; i < group.indices.size(); i += 3) {
        const RenderLib::VertexNormalUV& a = group.vertices[group.indices[i]];
        const RenderLib::VertexNormalUV& b = group.vertices[group.indices[i + 1]];
        const RenderLib::VertexNormalUV& c = group.vertices[group.indices[i + 2]];
        RenderLib::Vector3 face = Cross(b.position - a.position, c.position - a.position);
        face.Normalize();
        for (const RenderLib::VertexNormalUV* corner : {&a, &b, &c}) {
          EXPECT_NEAR(Length(corner->normal), 1.0f, 1e-5f);
          EXPECT_GT(Dot(face, corner->normal), 0.999f) << "triangle " << i / 3;
        }
      }
    }
  }

  // The corners of every triangle, group after group.
  static std::vector<RenderLib::Vector3> Positions(const RenderLib::ObjModel& model) {
    std::vector<RenderLib::Vector3> positions;
    for (const RenderLib::MeshGroup& group : model.groups) {
      for (int32_t index : group.indices) positions.push_back(group.vertices[index].position);
    }
    return positions;
  }

  static void ExpectNear(const RenderLib::Vector3& actual, const RenderLib::Vector3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
  }

  TemporaryFolder folder;
  RenderLib::ErrorList messages;
};
