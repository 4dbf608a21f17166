#include "viewer/device_mesh.h"

#include <algorithm>
#include <cstdint>

namespace Viewer {
namespace {

void Report(RenderLib::ErrorList* errors, const char* message) {
  if (errors != nullptr) errors->push_back(message);
}

}  // namespace

bool DeviceMesh::CommitExtras(const DeviceMeshData& data) {
  extrasBaseVertex.assign(data.attributeTable.size(), 0);
  if (data.extras.empty()) return true;
  std::vector<DeviceVertexWithExtras> wide;
  for (size_t i = 0; i < data.attributeTable.size(); ++i) {
    const AttributeRange& range = data.attributeTable[i];
    if (!range.extras) continue;
    extrasBaseVertex[i] = int32_t(wide.size()) - int32_t(range.vertexStart);
    for (uint32_t v = range.vertexStart; v < range.vertexStart + range.vertexCount; ++v) {
      wide.push_back(MakeDeviceVertex(data.vertices[v], data.extras[v]));
    }
  }
  if (wide.empty()) return true;
  return wide.size() <= UINT32_MAX / sizeof(DeviceVertexWithExtras) &&
         Platform::Succeeded(device->CreateVertexBuffer(uint32_t(wide.size() * sizeof(DeviceVertexWithExtras)),
                                                        wide.data(), false, &extrasBuffer));
}

DeviceMesh::~DeviceMesh() {
  // Texture views first, then the mesh, then the table and the materials themselves.
  for (DeviceMaterial& material : materials) {
    material.textureView.reset();
    material.metallicRoughnessView.reset();
    material.normalView.reset();
    material.occlusionView.reset();
    material.emissiveView.reset();
    material.rustMaskView.reset();
    material.dirtMaskView.reset();
  }
  indexBuffer.reset();
  extrasBuffer.reset();
  vertexBuffer.reset();
  attributeTable.reset();
  materials.clear();
}

DeviceMaterial& DeviceMesh::GetSubsetMaterial(uint32_t i) {
  if (i >= subsetCount) return defaultMaterial;
  const uint32_t id = attributeTable[i].attributeId;
  return id < materials.size() ? materials[id] : defaultMaterial;
}

void DeviceMesh::DrawSubset(uint32_t i) {
  if (i >= subsetCount) return;
  const AttributeRange& range = attributeTable[i];
  if (range.extras) {
    device->SetVertexBuffer(extrasBuffer.get(), sizeof(DeviceVertexWithExtras), 0);
  } else {
    device->SetVertexBuffer(vertexBuffer.get(), sizeof(DeviceVertex), 0);
  }
  device->SetIndexBuffer(indexBuffer.get());
  device->SetPrimitiveTopology(Platform::PrimitiveTopology::TriangleList);
  device->DrawIndexed(range.faceCount * 3, range.faceStart * 3, range.extras ? extrasBaseVertex[i] : 0);
}

std::unique_ptr<DeviceMesh> CreateDeviceMesh(Platform::GraphicsDevice* device, const RenderLib::ObjModel* model,
                                             RenderLib::ErrorList* errors) {
  if (device == nullptr || model == nullptr) {
    Report(errors, "Invalid input");
    return nullptr;
  }
  std::unique_ptr<DeviceMesh> mesh(new DeviceMesh());
  mesh->device = device;
  mesh->defaultMaterial = DefaultGreyMaterial();
  mesh->materials.reserve(model->materials.size());
  for (const RenderLib::MaterialHandle& material : model->materials) {
    mesh->materials.push_back(material ? ConvertMaterial(*device, *material) : DefaultGreyMaterial());
  }

  DeviceMeshData data;
  // The buffers' sizes are 32-bit byte counts.
  const bool laidOut = BuildDeviceMeshData(*model, &data) && data.vertices.size() <= UINT32_MAX / sizeof(DeviceVertex) &&
                       data.indices.size() <= UINT32_MAX / sizeof(uint32_t);
  const bool committed =
      laidOut &&
      Platform::Succeeded(device->CreateVertexBuffer(uint32_t(data.vertices.size() * sizeof(DeviceVertex)),
                                                     data.vertices.data(), false, &mesh->vertexBuffer)) &&
      Platform::Succeeded(device->CreateIndexBuffer(uint32_t(data.indices.size()), data.indices.data(),
                                                    &mesh->indexBuffer));
  if (!committed || !mesh->CommitExtras(data)) {
    Report(errors, "Unable to create mesh");
    return nullptr;
  }
  mesh->vertexCount = uint32_t(data.vertices.size());
  mesh->faceCount = uint32_t(data.attributes.size());
  mesh->subsetCount = uint32_t(data.attributeTable.size());
  mesh->attributeTable = std::make_unique<AttributeRange[]>(mesh->subsetCount);
  std::copy(data.attributeTable.begin(), data.attributeTable.end(), mesh->attributeTable.get());
  return mesh;
}

}  // namespace Viewer
