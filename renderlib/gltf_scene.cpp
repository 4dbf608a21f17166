#include "renderlib/gltf_scene.h"

#include <tiny_gltf.h>

#include <utility>

namespace RenderLib::Gltf {
namespace {

double Determinant(const double m[3][3]) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The node's own transform: its column-major matrix, or translation * rotation * scale.
bool LocalTransform(const tinygltf::Node& node, int index, Transform& local, std::string& error) {
  const std::string name = "node " + std::to_string(index);
  if (!node.matrix.empty()) {
    if (node.matrix.size() != 16) {
      error = name + " has a matrix of " + std::to_string(node.matrix.size()) + " numbers instead of 16";
      return false;
    }
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) local.linear[row][column] = node.matrix[size_t(column * 4 + row)];
      local.translation[row] = node.matrix[size_t(12 + row)];
    }
    return true;
  }
  if ((!node.translation.empty() && node.translation.size() != 3) || (!node.scale.empty() && node.scale.size() != 3) ||
      (!node.rotation.empty() && node.rotation.size() != 4)) {
    error = name + " has a translation, rotation or scale of the wrong length";
    return false;
  }
  double x = 0, y = 0, z = 0, w = 1;
  if (!node.rotation.empty()) {
    x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
  }
  const double rotation[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                                 {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                                 {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      local.linear[row][column] = rotation[row][column] * (node.scale.empty() ? 1.0 : node.scale[size_t(column)]);
    }
    local.translation[row] = node.translation.empty() ? 0.0 : node.translation[size_t(row)];
  }
  return true;
}

}  // namespace

bool Transform::IsIdentity() const {
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (linear[row][column] != (row == column ? 1.0 : 0.0)) return false;
    }
    if (translation[row] != 0.0) return false;
  }
  return true;
}

bool Transform::Mirrors() const { return Determinant(linear) < 0.0; }

Vector3 Transform::Point(const float p[3]) const {
  double out[3];
  for (int row = 0; row < 3; ++row) {
    out[row] = linear[row][0] * p[0] + linear[row][1] * p[1] + linear[row][2] * p[2] + translation[row];
  }
  return Vector3(float(out[0]), float(out[1]), float(out[2]));
}

Vector3 Transform::Normal(const float n[3]) const {
  // The cofactor matrix is the inverse transpose times the determinant; its sign keeps the
  // normal on the side it was on.
  const double(*m)[3] = linear;
  const double cofactor[3][3] = {{m[1][1] * m[2][2] - m[1][2] * m[2][1], m[1][2] * m[2][0] - m[1][0] * m[2][2],
                                  m[1][0] * m[2][1] - m[1][1] * m[2][0]},
                                 {m[0][2] * m[2][1] - m[0][1] * m[2][2], m[0][0] * m[2][2] - m[0][2] * m[2][0],
                                  m[0][1] * m[2][0] - m[0][0] * m[2][1]},
                                 {m[0][1] * m[1][2] - m[0][2] * m[1][1], m[0][2] * m[1][0] - m[0][0] * m[1][2],
                                  m[0][0] * m[1][1] - m[0][1] * m[1][0]}};
  const double sign = Determinant(linear) < 0.0 ? -1.0 : 1.0;
  double out[3];
  for (int row = 0; row < 3; ++row) {
    out[row] = sign * (cofactor[row][0] * n[0] + cofactor[row][1] * n[1] + cofactor[row][2] * n[2]);
  }
  return Vector3(float(out[0]), float(out[1]), float(out[2]));
}

Transform Transform::Then(const Transform& local) const {
  Transform combined;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      combined.linear[row][column] = linear[row][0] * local.linear[0][column] +
                                     linear[row][1] * local.linear[1][column] +
                                     linear[row][2] * local.linear[2][column];
    }
    combined.translation[row] = linear[row][0] * local.translation[0] + linear[row][1] * local.translation[1] +
                                linear[row][2] * local.translation[2] + translation[row];
  }
  return combined;
}

bool CollectMeshInstances(const tinygltf::Model& model, std::vector<MeshInstance>& instances, std::string& error) {
  instances.clear();
  const size_t nodeCount = model.nodes.size();
  std::vector<int> roots;
  if (model.defaultScene >= 0 || !model.scenes.empty()) {
    const int scene = model.defaultScene >= 0 ? model.defaultScene : 0;
    if (size_t(scene) >= model.scenes.size()) {
      error = "the default scene " + std::to_string(scene) + " does not exist";
      return false;
    }
    roots = model.scenes[size_t(scene)].nodes;
  } else {
    std::vector<bool> isChild(nodeCount, false);
    for (const tinygltf::Node& node : model.nodes) {
      for (int child : node.children) {
        if (child >= 0 && size_t(child) < nodeCount) isChild[size_t(child)] = true;
      }
    }
    for (size_t i = 0; i < nodeCount; ++i) {
      if (!isChild[i]) roots.push_back(int(i));
    }
    if (nodeCount > 0 && roots.empty()) {
      error = "the file names no scene and every node is another node's child: the nodes form a cycle";
      return false;
    }
  }

  // Depth first with a stack of its own: a deep hierarchy cannot exhaust the call stack.
  std::vector<bool> reached(nodeCount, false);
  std::vector<std::pair<int, Transform>> pending;
  for (auto root = roots.rbegin(); root != roots.rend(); ++root) pending.emplace_back(*root, Transform());
  while (!pending.empty()) {
    auto [index, parent] = std::move(pending.back());
    pending.pop_back();
    if (index < 0 || size_t(index) >= nodeCount) {
      error = "node " + std::to_string(index) + " does not exist (the file has " + std::to_string(nodeCount) + ")";
      return false;
    }
    if (reached[size_t(index)]) {
      error = "node " + std::to_string(index) + " is reached twice (a cycle, or a node with two parents)";
      return false;
    }
    reached[size_t(index)] = true;
    const tinygltf::Node& node = model.nodes[size_t(index)];
    Transform local;
    if (!LocalTransform(node, index, local, error)) return false;
    const Transform world = parent.Then(local);
    if (node.mesh >= 0 || node.mesh < -1) {
      if (size_t(node.mesh) >= model.meshes.size()) {
        error = "node " + std::to_string(index) + " names mesh " + std::to_string(node.mesh) + ", which does not exist";
        return false;
      }
      instances.push_back({node.mesh, world, index});
    }
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
      pending.emplace_back(*child, world);
  }
  return true;
}

}  // namespace RenderLib::Gltf
