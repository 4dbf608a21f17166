#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "assetexport/aged_document.h"
#include "renderlib/gltf_constants.h"
#include "renderlib/gltf_scene.h"
#include "renderlib/gltf_source.h"

namespace AssetExport {
namespace {

namespace Gltf = RenderLib::Gltf;
using RenderLib::Vector3;

// Every buffer appended to the first, views moved along: the written file has one buffer.
void MergeBuffers(tinygltf::Model& gltf) {
  if (gltf.buffers.empty()) return;
  std::vector<size_t> start(gltf.buffers.size(), 0);
  std::vector<unsigned char> merged = std::move(gltf.buffers[0].data);
  for (size_t b = 1; b < gltf.buffers.size(); ++b) {
    merged.resize((merged.size() + 3) / 4 * 4, 0);
    start[b] = merged.size();
    merged.insert(merged.end(), gltf.buffers[b].data.begin(), gltf.buffers[b].data.end());
  }
  for (tinygltf::BufferView& view : gltf.bufferViews) {
    if (view.buffer >= 0 && size_t(view.buffer) < start.size()) view.byteOffset += start[size_t(view.buffer)];
    view.buffer = 0;
  }
  tinygltf::Buffer buffer;
  buffer.data = std::move(merged);
  gltf.buffers.assign(1, std::move(buffer));
}

std::string MimeOfBytes(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "image/jpeg";
  return "image/png";
}

// The inverse of a 3 x 3 matrix; the identity for one that has none.
void Invert(const double (&m)[3][3], double (&inverse)[3][3]) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) {
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) inverse[r][c] = r == c ? 1.0 : 0.0;
    }
    return;
  }
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
    }
  }
}

// m x v, or the transpose's when `transposed`, scaled to unit length (fallback when it has none).
Vector3 UnitProduct(const double (&m)[3][3], const Vector3& v, bool transposed, const Vector3& fallback) {
  double out[3];
  for (int r = 0; r < 3; ++r) {
    out[r] = 0.0;
    for (int c = 0; c < 3; ++c) out[r] += (transposed ? m[c][r] : m[r][c]) * double(v[c]);
  }
  const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  if (!(length > 0.0) || !std::isfinite(length)) return fallback;
  return Vector3(float(out[0] / length), float(out[1] / length), float(out[2] / length));
}

// One element of an accessor, as raw bytes; false when the accessor cannot be read so.
struct ElementReader {
  const unsigned char* start = nullptr;
  size_t stride = 0;
  size_t size = 0;
  size_t count = 0;

  bool Open(const tinygltf::Model& gltf, int index) {
    if (index < 0 || size_t(index) >= gltf.accessors.size()) return false;
    const tinygltf::Accessor& accessor = gltf.accessors[size_t(index)];
    if (accessor.sparse.isSparse || accessor.bufferView < 0 || size_t(accessor.bufferView) >= gltf.bufferViews.size()) {
      return false;
    }
    const tinygltf::BufferView& view = gltf.bufferViews[size_t(accessor.bufferView)];
    const int components = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    const int componentSize = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    if (components <= 0 || componentSize <= 0 || gltf.buffers.empty()) return false;
    size = size_t(components) * size_t(componentSize);
    stride = view.byteStride != 0 ? view.byteStride : size;
    count = accessor.count;
    const std::vector<unsigned char>& data = gltf.buffers[0].data;
    const size_t offset = view.byteOffset + accessor.byteOffset;
    if (count > 0 && (offset > data.size() || (count - 1) * stride + size > data.size() - offset)) return false;
    start = data.data() + offset;
    return true;
  }

  uint32_t Index(size_t i) const {
    if (size == 1) return start[i * stride];
    if (size == 2) {
      uint16_t value;
      std::memcpy(&value, start + i * stride, 2);
      return value;
    }
    uint32_t value;
    std::memcpy(&value, start + i * stride, 4);
    return value;
  }
};

// The triangles of a primitive as the model's reader took them: triangle t's corners in the
// file's winding.
class PrimitiveCorners {
public:
  bool Open(const tinygltf::Model& gltf, const tinygltf::Primitive& primitive, size_t vertexCount) {
    mode = primitive.mode == -1 ? Gltf::kModeTriangles : primitive.mode;
    indexed = primitive.indices >= 0;
    if (indexed && !indices.Open(gltf, primitive.indices)) return false;
    const size_t corners = indexed ? indices.count : vertexCount;
    triangles = mode == Gltf::kModeTriangles ? corners / 3 : corners >= 3 ? corners - 2 : 0;
    vertices = vertexCount;
    return mode >= Gltf::kModeTriangles;
  }

  bool Triangle(size_t t, uint32_t corner[3]) const {
    size_t at[3] = {3 * t, 3 * t + 1, 3 * t + 2};
    if (mode == Gltf::kModeTriangleStrip) {
      const size_t odd = t & 1;
      at[0] = t, at[1] = t + 1 + odd, at[2] = t + 2 - odd;
    } else if (mode == Gltf::kModeTriangleFan) {
      at[0] = t + 1, at[1] = t + 2, at[2] = 0;
    }
    for (int k = 0; k < 3; ++k) {
      corner[k] = indexed ? indices.Index(at[k]) : uint32_t(at[k]);
      if (corner[k] >= vertices) return false;
    }
    return true;
  }

  size_t triangles = 0;

private:
  int mode = Gltf::kModeTriangles;
  bool indexed = false;
  ElementReader indices;
  size_t vertices = 0;
};

// Copies an accessor's elements in the order `order` names them into a view and accessor of
// their own; float bounds are worked out again (the old ones covered vertices no longer there).
// -1 when it cannot be read.
int DeindexAccessor(AgedDocument& document, int index, const std::vector<uint32_t>& order) {
  ElementReader reader;
  if (!reader.Open(document.gltf, index)) return -1;
  for (const uint32_t i : order) {
    if (i >= reader.count) return -1;
  }
  const size_t stride = (reader.size + 3) / 4 * 4;  // vertex attributes start on 4-byte boundaries
  std::vector<unsigned char> bytes(order.size() * stride, 0);
  for (size_t k = 0; k < order.size(); ++k) std::memcpy(&bytes[k * stride], reader.start + order[k] * reader.stride, reader.size);
  tinygltf::Accessor accessor = document.gltf.accessors[size_t(index)];
  accessor.bufferView = document.AddView(bytes.data(), bytes.size(), Gltf::kArrayBuffer, stride == reader.size ? 0 : stride);
  accessor.byteOffset = 0;
  accessor.count = order.size();
  if (accessor.componentType == Gltf::kFloat && !accessor.minValues.empty()) {
    const size_t components = reader.size / sizeof(float);
    accessor.minValues.assign(components, std::numeric_limits<double>::max());
    accessor.maxValues.assign(components, -std::numeric_limits<double>::max());
    for (size_t k = 0; k < order.size(); ++k) {
      for (size_t c = 0; c < components; ++c) {
        float value;
        std::memcpy(&value, &bytes[k * stride + c * sizeof(float)], sizeof value);
        accessor.minValues[c] = std::min(accessor.minValues[c], double(value));
        accessor.maxValues[c] = std::max(accessor.maxValues[c], double(value));
      }
    }
  } else {
    accessor.minValues.clear();
    accessor.maxValues.clear();
  }
  document.gltf.accessors.push_back(std::move(accessor));
  return int(document.gltf.accessors.size()) - 1;
}

// Writes TANGENT (and, for a primitive the reader unwelded, NORMAL, every attribute de-indexed)
// for one primitive from the frames its first placement was baked with.
bool WriteFrames(const RenderLib::PlacedPrimitive& placed, const Gltf::Transform& world,
                 const std::vector<SurfaceFrame>& frames, tinygltf::Primitive& primitive, AgedDocument& document,
                 std::string* error) {
  const std::string name =
      "mesh " + std::to_string(placed.mesh) + " primitive " + std::to_string(placed.primitive);
  if (placed.firstVertex < 0 || size_t(placed.firstVertex) + size_t(placed.vertexCount) > frames.size()) {
    *error = name + ": its vertices are not where the model says";
    return false;
  }
  double inverse[3][3];
  Invert(world.linear, inverse);
  const SurfaceFrame* frame = frames.data() + placed.firstVertex;
  // Back into the mesh's own space: a tangent by the inverse, a normal by the transpose.
  const auto localTangent = [&](const SurfaceFrame& f) {
    return UnitProduct(inverse, f.tangent, false, Vector3(1.0f, 0.0f, 0.0f));
  };
  std::vector<float> tangents;
  tangents.reserve(size_t(placed.vertexCount) * 4);
  const auto pushTangent = [&](const SurfaceFrame& f) {
    const Vector3 t = localTangent(f);
    tangents.insert(tangents.end(), {t.x, t.y, t.z, f.handedness < 0.0f ? -1.0f : 1.0f});
  };
  if (!placed.unwelded) {
    for (int32_t i = 0; i < placed.vertexCount; ++i) pushTangent(frame[i]);
    primitive.attributes["TANGENT"] = document.AddFloatAccessor(tangents, TINYGLTF_TYPE_VEC4, 4, false);
    return true;
  }

  const auto position = primitive.attributes.find("POSITION");
  ElementReader positions;
  if (position == primitive.attributes.end() || !positions.Open(document.gltf, position->second)) {
    *error = name + ": its positions cannot be read";
    return false;
  }
  PrimitiveCorners corners;
  if (!corners.Open(document.gltf, primitive, positions.count) ||
      3 * corners.triangles != size_t(placed.vertexCount)) {
    *error = name + ": its triangles do not match the model's";
    return false;
  }
  // The reader turned the triangles of a mirroring placement round; the file keeps its winding.
  const int fromGroup[3] = {0, world.Mirrors() ? 2 : 1, world.Mirrors() ? 1 : 2};
  std::vector<uint32_t> order(3 * corners.triangles);
  std::vector<float> normals;
  normals.reserve(order.size() * 3);
  for (size_t t = 0; t < corners.triangles; ++t) {
    uint32_t corner[3];
    if (!corners.Triangle(t, corner)) {
      *error = name + ": an index is past its vertices";
      return false;
    }
    for (int k = 0; k < 3; ++k) {
      order[3 * t + size_t(k)] = corner[k];
      const SurfaceFrame& f = frame[3 * t + size_t(fromGroup[k])];
      const Vector3 n = UnitProduct(world.linear, f.normal, true, Vector3(0.0f, 0.0f, 1.0f));
      normals.insert(normals.end(), {n.x, n.y, n.z});
      pushTangent(f);
    }
  }
  const auto deindex = [&](std::map<std::string, int>& attributes) {
    for (auto& [attribute, accessor] : attributes) {
      const int copied = DeindexAccessor(document, accessor, order);
      if (copied < 0) {
        *error = name + ": its " + attribute + " cannot be copied per corner (a sparse or unreadable accessor)";
        return false;
      }
      accessor = copied;
    }
    return true;
  };
  if (!deindex(primitive.attributes)) return false;
  for (std::map<std::string, int>& target : primitive.targets) {
    if (!deindex(target)) return false;
  }
  primitive.attributes["NORMAL"] = document.AddFloatAccessor(normals, TINYGLTF_TYPE_VEC3, 3, false);
  primitive.attributes["TANGENT"] = document.AddFloatAccessor(tangents, TINYGLTF_TYPE_VEC4, 4, false);
  primitive.indices = -1;
  primitive.mode = Gltf::kModeTriangles;
  return true;
}

// Adds 1 to counts[n] for every number n under `key` anywhere within value.
void CountNumbersUnder(const tinygltf::Value& value, const char* key, std::vector<int>& counts) {
  if (value.IsArray()) {
    for (size_t i = 0; i < value.ArrayLen(); ++i) CountNumbersUnder(value.Get(int(i)), key, counts);
    return;
  }
  if (!value.IsObject()) return;
  for (const std::string& name : value.Keys()) {
    const tinygltf::Value& member = value.Get(name);
    if (name == key && member.IsNumber()) {
      const double n = member.GetNumberAsDouble();
      if (n >= 0.0 && n < double(counts.size())) ++counts[size_t(n)];
    } else {
      CountNumbersUnder(member, key, counts);
    }
  }
}

void CountInExtensions(const tinygltf::ExtensionMap& extensions, const char* key, std::vector<int>& counts) {
  for (const auto& [name, value] : extensions) CountNumbersUnder(value, key, counts);
}

// How many places name each texture and each image. Extensions are searched for any "index"
// (a texture) and "source" (an image), so that what an extension uses is never taken for unused.
void CountUses(const tinygltf::Model& gltf, std::vector<int>& textures, std::vector<int>& images) {
  textures.assign(gltf.textures.size(), 0);
  images.assign(gltf.images.size(), 0);
  const auto count = [&](int index) {
    if (index >= 0 && size_t(index) < textures.size()) ++textures[size_t(index)];
  };
  for (const tinygltf::Material& material : gltf.materials) {
    count(material.pbrMetallicRoughness.baseColorTexture.index);
    count(material.pbrMetallicRoughness.metallicRoughnessTexture.index);
    count(material.normalTexture.index);
    count(material.occlusionTexture.index);
    count(material.emissiveTexture.index);
    CountInExtensions(material.extensions, "index", textures);
  }
  CountInExtensions(gltf.extensions, "index", textures);
  for (const tinygltf::Node& node : gltf.nodes) CountInExtensions(node.extensions, "index", textures);
  for (const tinygltf::Mesh& mesh : gltf.meshes) CountInExtensions(mesh.extensions, "index", textures);
  for (const tinygltf::Texture& texture : gltf.textures) {
    if (texture.source >= 0 && size_t(texture.source) < images.size()) ++images[size_t(texture.source)];
    CountInExtensions(texture.extensions, "source", images);
  }
  CountInExtensions(gltf.extensions, "source", images);
}

// Drops the bytes of the views nothing names any more (the pictures of replaced maps in a .glb
// source) from the buffer, the views left renumbered. Left as it is when an extension names a
// view, since its numbers would go stale.
void DropUnusedViews(tinygltf::Model& gltf) {
  std::vector<int> uses(gltf.bufferViews.size(), 0);
  const auto use = [&](int view) {
    if (view >= 0 && size_t(view) < uses.size()) ++uses[size_t(view)];
  };
  std::vector<int> named(gltf.bufferViews.size(), 0);
  CountInExtensions(gltf.extensions, "bufferView", named);
  for (const tinygltf::Accessor& accessor : gltf.accessors) {
    use(accessor.bufferView);
    if (accessor.sparse.isSparse) {
      use(accessor.sparse.indices.bufferView);
      use(accessor.sparse.values.bufferView);
    }
    CountInExtensions(accessor.extensions, "bufferView", named);
  }
  for (const tinygltf::Image& image : gltf.images) {
    use(image.bufferView);
    CountInExtensions(image.extensions, "bufferView", named);
  }
  for (const tinygltf::Mesh& mesh : gltf.meshes) {
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
      CountInExtensions(primitive.extensions, "bufferView", named);
    }
  }
  if (gltf.buffers.empty() || std::any_of(named.begin(), named.end(), [](int n) { return n > 0; }) ||
      std::all_of(uses.begin(), uses.end(), [](int n) { return n > 0; })) {
    return;
  }
  const std::vector<unsigned char>& old = gltf.buffers[0].data;
  std::vector<unsigned char> kept;
  std::vector<int> renumbered(uses.size(), -1);
  std::vector<tinygltf::BufferView> views;
  for (size_t v = 0; v < uses.size(); ++v) {
    if (uses[v] == 0) continue;
    tinygltf::BufferView view = gltf.bufferViews[v];
    if (view.byteOffset > old.size() || view.byteLength > old.size() - view.byteOffset) return;  // left to the validator
    kept.resize((kept.size() + 3) / 4 * 4, 0);
    const size_t start = kept.size();
    kept.insert(kept.end(), old.begin() + std::ptrdiff_t(view.byteOffset),
                old.begin() + std::ptrdiff_t(view.byteOffset + view.byteLength));
    view.byteOffset = start;
    renumbered[v] = int(views.size());
    views.push_back(std::move(view));
  }
  const auto renumber = [&](int& view) {
    if (view >= 0 && size_t(view) < renumbered.size()) view = renumbered[size_t(view)];
  };
  for (tinygltf::Accessor& accessor : gltf.accessors) {
    renumber(accessor.bufferView);
    if (accessor.sparse.isSparse) {
      renumber(accessor.sparse.indices.bufferView);
      renumber(accessor.sparse.values.bufferView);
    }
  }
  for (tinygltf::Image& image : gltf.images) renumber(image.bufferView);
  gltf.bufferViews = std::move(views);
  gltf.buffers[0].data = std::move(kept);
}

}  // namespace

bool BuildSourceDocument(const AgedAsset& asset, AgedDocument* document, std::string* error) {
  const RenderLib::GltfSource& source = *asset.model->gltfSource;
  if (source.document == nullptr) {
    *error = "the model's glTF document was not kept";
    return false;
  }
  tinygltf::Model& gltf = document->gltf;
  gltf = *source.document;
  MergeBuffers(gltf);
  gltf.asset.generator = "Patinex";
  gltf.asset.extras = AgedAssetExtras(asset);

  // Every image is written again: embedded in a .glb, beside a .gltf.
  document->imageBytes.assign(gltf.images.size(), nullptr);
  for (size_t i = 0; i < gltf.images.size(); ++i) {
    if (i >= source.imageBytes.size() || source.imageBytes[i].empty()) continue;
    document->imageBytes[i] = &source.imageBytes[i];
    if (gltf.images[i].mimeType.empty()) gltf.images[i].mimeType = MimeOfBytes(source.imageBytes[i]);
  }

  std::vector<int> maskSets;  // the first image of each space's masks
  for (const MaskImages& masks : asset.masks) {
    maskSets.push_back(document->AddImage(masks.humidity));
    document->AddImage(masks.dirt);
    document->AddImage(masks.rust);
  }
  // The document's material of each aged one; the groups without a material get one of their own.
  std::vector<bool> aged(gltf.materials.size(), false);
  int unmaterialled = -1;
  // A replaced map that nothing else uses gives its texture and image to the aged one, so that
  // the file does not carry a picture nobody shows.
  std::vector<int> textureUses, imageUses;
  CountUses(gltf, textureUses, imageUses);
  const auto reusable = [&](int texture) {
    if (texture < 0 || size_t(texture) >= gltf.textures.size() || textureUses[size_t(texture)] != 1) return -1;
    const tinygltf::Texture& entry = gltf.textures[size_t(texture)];
    const bool alone = entry.extensions.empty() && entry.source >= 0 && size_t(entry.source) < gltf.images.size() &&
                       imageUses[size_t(entry.source)] == 1;
    return alone ? texture : -1;
  };
  for (const AgedMaterial& material : asset.materials) {
    if (material.space < 0 || size_t(material.space) >= maskSets.size()) {
      *error = "no masks were given for mask space " + std::to_string(material.space);
      return false;
    }
    const int first = maskSets[size_t(material.space)];
    const int masks[3] = {first, first + 1, first + 2};
    if (material.material < 0) {
      tinygltf::Material added;
      added.name = material.name;
      PutAgedTextures(material, nullptr, masks, {-1, -1, -1}, added, *document);
      gltf.materials.push_back(std::move(added));
      unmaterialled = int(gltf.materials.size()) - 1;
      aged.push_back(true);
      continue;
    }
    if (size_t(material.material) >= gltf.materials.size()) {
      *error = "aged material " + std::to_string(material.material) + " is not in the document";
      return false;
    }
    tinygltf::Material& target = gltf.materials[size_t(material.material)];
    const tinygltf::TextureInfo layout = target.pbrMetallicRoughness.baseColorTexture;
    const int reuse[3] = {reusable(layout.index), reusable(target.pbrMetallicRoughness.metallicRoughnessTexture.index),
                          reusable(target.normalTexture.index)};
    PutAgedTextures(material, &layout, masks, reuse, target, *document);
    aged[size_t(material.material)] = true;
  }

  // Where each primitive was first placed, and by which node's transform.
  std::vector<Gltf::MeshInstance> instances;
  std::string why;
  if (!Gltf::CollectMeshInstances(gltf, instances, why)) {
    *error = "the document's scene: " + why;
    return false;
  }
  std::map<int, Gltf::Transform> worldOfNode;
  for (const Gltf::MeshInstance& instance : instances) worldOfNode.emplace(instance.node, instance.world);
  std::map<std::pair<int, int>, const RenderLib::PlacedPrimitive*> firstPlacement;
  for (const RenderLib::PlacedPrimitive& placed : source.placed) {
    firstPlacement.emplace(std::make_pair(placed.mesh, placed.primitive), &placed);
  }
  for (size_t m = 0; m < gltf.meshes.size(); ++m) {
    for (size_t p = 0; p < gltf.meshes[m].primitives.size(); ++p) {
      tinygltf::Primitive& primitive = gltf.meshes[m].primitives[p];
      // Points and lines were not baked: they keep what they had.
      if (primitive.mode >= 0 && primitive.mode < Gltf::kModeTriangles) continue;
      if (primitive.material < 0 && unmaterialled >= 0) primitive.material = unmaterialled;
      if (primitive.material < 0 || size_t(primitive.material) >= aged.size() || !aged[size_t(primitive.material)]) {
        continue;
      }
      // A primitive without the coordinates the aged textures are laid on was aged at (0, 0),
      // as the reader took it; it says so, for the textures to be readable at all.
      const int texCoord = gltf.materials[size_t(primitive.material)].pbrMetallicRoughness.baseColorTexture.texCoord;
      const std::string coordinates = "TEXCOORD_" + std::to_string(texCoord);
      const auto position = primitive.attributes.find("POSITION");
      if (!primitive.attributes.count(coordinates) && position != primitive.attributes.end() &&
          position->second >= 0 && size_t(position->second) < gltf.accessors.size()) {
        const std::vector<float> zeros(2 * gltf.accessors[size_t(position->second)].count, 0.0f);
        primitive.attributes[coordinates] = document->AddFloatAccessor(zeros, TINYGLTF_TYPE_VEC2, 2, false);
      }
      const auto found = firstPlacement.find({int(m), int(p)});
      if (found == firstPlacement.end()) continue;  // not in the scene: nothing was baked for it
      const RenderLib::PlacedPrimitive& placed = *found->second;
      const auto world = worldOfNode.find(placed.node);
      if (placed.group < 0 || size_t(placed.group) >= asset.frames->size() || world == worldOfNode.end()) {
        *error = "mesh " + std::to_string(m) + " primitive " + std::to_string(p) + " is not where the model says";
        return false;
      }
      if (!WriteFrames(placed, world->second, (*asset.frames)[size_t(placed.group)], primitive, *document, error)) {
        return false;
      }
    }
  }
  DropUnusedViews(gltf);
  return true;
}

}  // namespace AssetExport
