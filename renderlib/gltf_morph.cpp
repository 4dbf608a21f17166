#include "renderlib/gltf_morph.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <utility>

namespace RenderLib::Gltf {

const std::vector<double>& DefaultMorphWeights(const tinygltf::Model& file, int node, int mesh) {
  static const std::vector<double> kNone;
  if (node >= 0 && size_t(node) < file.nodes.size() && !file.nodes[size_t(node)].weights.empty()) {
    return file.nodes[size_t(node)].weights;
  }
  if (mesh >= 0 && size_t(mesh) < file.meshes.size()) return file.meshes[size_t(mesh)].weights;
  return kNone;
}

bool ApplyMorphTargets(const tinygltf::Model& file, const tinygltf::Primitive& primitive, const char* attribute,
                       const std::vector<double>& weights, AccessorView& base, std::vector<float>& morphed,
                       std::string& error) {
  // A file giving fewer weights than targets leaves the rest at rest; more are ignored.
  const size_t targets = std::min(weights.size(), primitive.targets.size());
  std::vector<float> sum;
  for (size_t t = 0; t < targets; ++t) {
    const auto found = primitive.targets[t].find(attribute);
    const float weight = float(weights[t]);
    if (found == primitive.targets[t].end() || weight == 0.0f) continue;
    AccessorView delta;
    const std::string name = "morph target " + std::to_string(t) + " " + attribute;
    if (!ViewAccessor(file, found->second, delta, error)) {
      error = name + ": " + error;
      return false;
    }
    if (delta.componentType != kFloat || delta.components != 3) {
      error = name + " is not three floats a vertex";
      return false;
    }
    if (delta.count != base.count) {
      error = name + " has " + std::to_string(delta.count) + " values for " + std::to_string(base.count) + " vertices";
      return false;
    }
    if (sum.empty()) {
      sum.resize(3 * base.count);
      for (size_t i = 0; i < base.count; ++i) ReadFloat3(base, i, &sum[3 * i]);
    }
    for (size_t i = 0; i < base.count; ++i) {
      float d[3];
      ReadFloat3(delta, i, d);
      for (int c = 0; c < 3; ++c) sum[3 * i + size_t(c)] += weight * d[c];
    }
  }
  if (sum.empty()) return true;
  morphed = std::move(sum);
  base.data = reinterpret_cast<const uint8_t*>(morphed.data());
  base.stride = 3 * sizeof(float);
  return true;
}

}  // namespace RenderLib::Gltf
