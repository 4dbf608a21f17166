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
    SparseView replaced;
    const std::string name = "morph target " + std::to_string(t) + " " + attribute;
    // Targets are often sparse: most vertices of a face's expression do not move.
    if (!ViewSparseAccessor(file, found->second, delta, replaced, error)) {
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
    const auto add = [&](size_t i, const float d[3], float scale) {
      for (int c = 0; c < 3; ++c) sum[3 * i + size_t(c)] += scale * d[c];
    };
    if (delta.data != nullptr) {
      for (size_t i = 0; i < base.count; ++i) {
        float d[3];
        ReadFloat3(delta, i, d);
        add(i, d, weight);
      }
    }
    // A replaced element takes the place of the dense one, which is taken back out.
    for (size_t k = 0; k < replaced.indices.count; ++k) {
      const uint32_t i = ReadIndex(replaced.indices, k);
      if (i >= base.count) {
        error = name + " replaces element " + std::to_string(i) + ", past its " + std::to_string(base.count);
        return false;
      }
      float d[3];
      if (delta.data != nullptr) {
        ReadFloat3(delta, i, d);
        add(i, d, -weight);
      }
      ReadFloat3(replaced.values, k, d);
      add(i, d, weight);
    }
  }
  if (sum.empty()) return true;
  morphed = std::move(sum);
  base.data = reinterpret_cast<const uint8_t*>(morphed.data());
  base.stride = 3 * sizeof(float);
  return true;
}

}  // namespace RenderLib::Gltf
