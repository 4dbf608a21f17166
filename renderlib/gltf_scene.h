#pragma once

#include <string>
#include <vector>

#include "renderlib/vector3.h"

namespace tinygltf {
class Model;
}

namespace RenderLib::Gltf {

// A node's world transform: p' = linear * p + translation, worked out in double.
struct Transform {
  double linear[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // [row][column]
  double translation[3] = {0, 0, 0};

  bool IsIdentity() const;
  // True when the transform mirrors space (negative determinant): triangles must be turned
  // round to keep facing the same way.
  bool Mirrors() const;
  Vector3 Point(const float p[3]) const;
  // The direction a normal takes: by the inverse transpose, up to scale (not of unit length).
  Vector3 Normal(const float n[3]) const;
  Transform Then(const Transform& local) const;  // this * local
};

// A mesh placed in the scene by one node.
struct MeshInstance {
  int mesh = -1;
  Transform world;
  int node = -1;  // the node placing it, for messages
};

// Flattens the scene the file shows (its default scene, else scene 0, else every root node) into
// the meshes its nodes place, in depth-first order. False with the reason in `error` when the
// scene or a node names something that does not exist, a node's transform is malformed, or a
// node is reached twice (a cycle, or a node with two parents).
bool CollectMeshInstances(const tinygltf::Model& model, std::vector<MeshInstance>& instances, std::string& error);

}  // namespace RenderLib::Gltf
