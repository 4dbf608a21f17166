#include <algorithm>
#include <cmath>
#include <map>

#include "assetexport/aged_document.h"
#include "assetexport/texture_bake.h"
#include "platform_os/program_version.h"
#include "renderlib/gltf_constants.h"

namespace AssetExport {
namespace {

namespace Gltf = RenderLib::Gltf;

// The ways a model cannot be written; empty when it can.
std::string CheckGeometry(const RenderLib::ObjModel& model, const std::vector<std::vector<SurfaceFrame>>& frames) {
  if (frames.size() != model.groups.size()) return "the vertex frames do not match the model's groups";
  size_t faces = 0;
  for (size_t g = 0; g < model.groups.size(); ++g) {
    const RenderLib::MeshGroup& group = model.groups[g];
    const size_t vertexCount = group.vertices.size();
    if (frames[g].size() != vertexCount) return "the vertex frames do not match the model's vertices";
    if (group.indices.size() % 3 != 0) return "a group's index count is not a multiple of three";
    for (const int32_t index : group.indices) {
      if (index < 0 || size_t(index) >= vertexCount) {
        return "a face names vertex " + std::to_string(index) + " of a group of " + std::to_string(vertexCount);
      }
    }
    for (const RenderLib::VertexNormalUV& vertex : group.vertices) {
      const float values[5] = {vertex.position.x, vertex.position.y, vertex.position.z, vertex.u, vertex.v};
      if (!std::all_of(values, values + 5, [](float value) { return std::isfinite(value); })) {
        return "a vertex has a position or texture coordinate that is not a finite number";
      }
    }
    faces += group.indices.size() / 3;
  }
  if (faces == 0) return "the model has no faces";
  return {};
}

// A group's faces as a primitive, its accessors appended.
tinygltf::Primitive GroupPrimitive(const RenderLib::MeshGroup& group, const std::vector<SurfaceFrame>& frames,
                                   AgedDocument& document) {
  const size_t count = group.vertices.size();
  std::vector<float> positions, normals, tangents, coordinates;
  positions.reserve(count * 3);
  normals.reserve(count * 3);
  tangents.reserve(count * 4);
  coordinates.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    const RenderLib::VertexNormalUV& vertex = group.vertices[i];
    const SurfaceFrame& frame = frames[i];
    for (int axis = 0; axis < 3; ++axis) {
      positions.push_back(vertex.position[axis]);
      normals.push_back(frame.normal[axis]);
      tangents.push_back(frame.tangent[axis]);
    }
    tangents.push_back(frame.handedness);
    // glTF's v grows downwards.
    coordinates.push_back(vertex.u);
    coordinates.push_back(1.0f - vertex.v);
  }
  tinygltf::Primitive primitive;
  primitive.attributes["POSITION"] = document.AddFloatAccessor(positions, TINYGLTF_TYPE_VEC3, 3, true);
  primitive.attributes["NORMAL"] = document.AddFloatAccessor(normals, TINYGLTF_TYPE_VEC3, 3, false);
  primitive.attributes["TANGENT"] = document.AddFloatAccessor(tangents, TINYGLTF_TYPE_VEC4, 4, false);
  primitive.attributes["TEXCOORD_0"] = document.AddFloatAccessor(coordinates, TINYGLTF_TYPE_VEC2, 2, false);
  std::vector<uint32_t> indices(group.indices.begin(), group.indices.end());
  tinygltf::Accessor accessor;
  accessor.bufferView =
      document.AddView(indices.data(), indices.size() * sizeof(uint32_t), Gltf::kElementArrayBuffer);
  accessor.componentType = Gltf::kUnsignedInt;
  accessor.count = indices.size();
  accessor.type = TINYGLTF_TYPE_SCALAR;
  document.gltf.accessors.push_back(std::move(accessor));
  primitive.indices = int(document.gltf.accessors.size()) - 1;
  primitive.mode = Gltf::kModeTriangles;
  return primitive;
}

// A material the bake left as it was (its groups have no texture area): its colour alone.
tinygltf::Material PlainMaterial(const RenderLib::Material& source) {
  tinygltf::Material material;
  material.name = source.name;
  if (source.metallicRoughness) {
    material.pbrMetallicRoughness.baseColorFactor.assign(source.baseColorFactor, source.baseColorFactor + 4);
    material.pbrMetallicRoughness.metallicFactor = source.metallicFactor;
    material.pbrMetallicRoughness.roughnessFactor = source.roughnessFactor;
  } else {
    material.pbrMetallicRoughness.baseColorFactor = {source.diffuse.x, source.diffuse.y, source.diffuse.z, 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = RenderLib::RoughnessOfShininess(source.shininess);
  }
  return material;
}

}  // namespace

bool BuildModelDocument(const AgedAsset& asset, const std::string& name, AgedDocument* document, std::string* error) {
  const RenderLib::ObjModel& model = *asset.model;
  if (const std::string problem = CheckGeometry(model, *asset.frames); !problem.empty()) {
    *error = problem;
    return false;
  }
  tinygltf::Model& gltf = document->gltf;
  gltf.asset.version = "2.0";
  gltf.asset.generator = std::string("Patinex ") + Platform::ProgramVersion();
  gltf.asset.extras = AgedAssetExtras(asset);

  std::vector<int> maskSets;
  for (const MaskImages& masks : asset.masks) {
    maskSets.push_back(document->AddImage(masks.humidity));
    document->AddImage(masks.dirt);
    document->AddImage(masks.rust);
  }
  // The document's material of each of the model's (by BakedMaterialOf, -1 first), made on first use.
  std::map<int32_t, int> documentMaterial;
  for (const AgedMaterial& aged : asset.materials) {
    if (aged.space < 0 || size_t(aged.space) >= maskSets.size()) {
      *error = "no masks were given for mask space " + std::to_string(aged.space);
      return false;
    }
    const int first = maskSets[size_t(aged.space)];
    const int masks[3] = {first, first + 1, first + 2};
    tinygltf::Material material;
    material.name = aged.name;
    PutAgedTextures(aged, nullptr, masks, {-1, -1, -1}, material, *document);
    if (aged.material >= 0) {
      const RenderLib::Material* source = model.materials[size_t(aged.material)].Get();
      if (source->alphaMode == RenderLib::AlphaMode::kMask) material.alphaMode = "MASK";
      if (source->alphaMode == RenderLib::AlphaMode::kBlend) material.alphaMode = "BLEND";
      material.alphaCutoff = source->alphaCutoff;
      material.doubleSided = source->doubleSided;
    }
    gltf.materials.push_back(std::move(material));
    documentMaterial[aged.material] = int(gltf.materials.size()) - 1;
  }

  tinygltf::Mesh mesh;
  mesh.name = name;
  for (size_t g = 0; g < model.groups.size(); ++g) {
    const RenderLib::MeshGroup& group = model.groups[g];
    if (group.indices.empty()) continue;
    tinygltf::Primitive primitive = GroupPrimitive(group, (*asset.frames)[g], *document);
    const int32_t material = BakedMaterialOf(model, group);
    auto found = documentMaterial.find(material);
    if (found == documentMaterial.end() && material >= 0) {
      gltf.materials.push_back(PlainMaterial(*model.materials[size_t(material)]));
      found = documentMaterial.emplace(material, int(gltf.materials.size()) - 1).first;
    }
    primitive.material = found != documentMaterial.end() ? found->second : -1;
    mesh.primitives.push_back(std::move(primitive));
  }
  gltf.meshes.push_back(std::move(mesh));
  tinygltf::Node node;
  node.name = name;
  node.mesh = 0;
  gltf.nodes.push_back(std::move(node));
  tinygltf::Scene scene;
  scene.nodes = {0};
  gltf.scenes.push_back(std::move(scene));
  gltf.defaultScene = 0;
  return true;
}

}  // namespace AssetExport
