#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics_device.h"
#include "renderlib/obj_loader.h"
#include "renderlib/obj_model.h"
#include "viewer/device_material.h"
#include "viewer/device_mesh_data.h"

namespace Viewer {

// A loaded model on the device: one vertex and one 32-bit index buffer holding every group,
// faces sorted into one subset per material (two where some of its groups have vertex extras and
// some not), and the materials with their textures. The subsets with extras draw from a second
// vertex buffer of DeviceVertexWithExtras holding only their vertices, so a model without extras
// costs what it always did. Drawn subset by subset, each with its material.
class DeviceMesh {
public:
  ~DeviceMesh();
  DeviceMesh(const DeviceMesh&) = delete;
  DeviceMesh& operator=(const DeviceMesh&) = delete;

  uint32_t SubsetCount() const { return subsetCount; }
  const AttributeRange& Subset(uint32_t i) const { return attributeTable[i]; }

  // The material of subset i. Faces without a material (attribute 0xFFFFFFFF), or with an index
  // past the materials, get a neutral grey default, as does a subset number out of range.
  DeviceMaterial& GetSubsetMaterial(uint32_t i);
  // In model material order: index = attribute id.
  std::vector<DeviceMaterial>& Materials() { return materials; }

  // Binds the buffers and draws subset i as a triangle list; the caller has set the input layout
  // (kDeviceVertexWithExtrasElements for a subset with extras, else kDeviceVertexElements) and
  // applied an effect pass. Out of range draws nothing.
  void DrawSubset(uint32_t i);

  uint32_t VertexCount() const { return vertexCount; }
  uint32_t FaceCount() const { return faceCount; }

private:
  DeviceMesh() = default;
  friend std::unique_ptr<DeviceMesh> CreateDeviceMesh(Platform::GraphicsDevice*, const RenderLib::ObjModel*,
                                                      RenderLib::ErrorList*);

  // The vertex buffer of the subsets with extras; false when the device refuses it.
  bool CommitExtras(const DeviceMeshData& data);

  Platform::GraphicsDevice* device = nullptr;
  std::unique_ptr<Platform::Buffer> vertexBuffer;
  std::unique_ptr<Platform::Buffer> indexBuffer;
  std::unique_ptr<Platform::Buffer> extrasBuffer;
  std::vector<int32_t> extrasBaseVertex;  // by subset: where its vertices start in extrasBuffer, less vertexStart
  uint32_t vertexCount = 0;
  uint32_t faceCount = 0;
  uint32_t subsetCount = 0;
  std::unique_ptr<AttributeRange[]> attributeTable;
  std::vector<DeviceMaterial> materials;
  DeviceMaterial defaultMaterial;
};

// Builds the device mesh of a model. Without device or model appends "Invalid input"; when the
// mesh cannot be made (no faces, broken indices, the device refuses the buffers) appends
// "Unable to create mesh". Either way returns none, with nothing left on the device. A diffuse
// map the device refuses gives its material the failure marker, not a failure.
std::unique_ptr<DeviceMesh> CreateDeviceMesh(Platform::GraphicsDevice* device, const RenderLib::ObjModel* model,
                                             RenderLib::ErrorList* errors = nullptr);

}  // namespace Viewer
