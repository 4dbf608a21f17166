#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tinygltf {
class Model;
}

namespace RenderLib {

struct ObjModel;

// Where one node's placement of one primitive put its vertices in the model: the group and the
// first of its vertices there. A primitive with NORMAL keeps its vertices in the file's order
// (vertexCount of them); one without was given flat normals, three vertices of its own a
// triangle in triangle order (unwelded), so the group's vertices no longer follow the file's.
struct PlacedPrimitive {
  int32_t mesh = -1;
  int32_t primitive = -1;
  int32_t node = -1;
  int32_t group = -1;
  int32_t firstVertex = 0;
  int32_t vertexCount = 0;
  bool unwelded = false;
};

// A glTF file as it was parsed, buffers read, kept beside the model made of it: the export
// writes the same document again with the aged materials put in. Never changes once loaded.
struct GltfSource {
  GltfSource();
  ~GltfSource();
  GltfSource(const GltfSource&) = delete;
  GltfSource& operator=(const GltfSource&) = delete;

  std::string path;                          // the file read
  std::unique_ptr<tinygltf::Model> document;  // every buffer's data loaded; none when the model
                                              // was read without its textures (geometry only)
  std::vector<std::string> meshNames;         // by mesh index, as the file names them
  // Each image's encoded bytes (PNG, JPEG), by image index, wherever the file keeps them (a file
  // beside it, a data URI, a buffer view); empty where the image could not be read.
  std::vector<std::vector<uint8_t>> imageBytes;
  // Every placement of a primitive the model holds, in the scene's depth-first order (a mesh
  // placed by several nodes appears once for each).
  std::vector<PlacedPrimitive> placed;
};

// A mesh the scene places more than once: its instances share their texture coordinates, so
// they share mask texels and age alike.
struct RepeatedMesh {
  std::string name;  // the mesh's name, or "mesh <index>"
  int32_t placements = 0;
};

// The meshes of a glTF model placed by more than one node, in the file's order; none for an OBJ
// model.
std::vector<RepeatedMesh> RepeatedMeshes(const ObjModel& model);

// By triangle, in the order the model's groups hold them (the triangle soup's), whether it
// belongs to a second or later placement of its primitive; empty when no mesh is placed twice.
std::vector<bool> RepeatedPlacementTriangles(const ObjModel& model);

}  // namespace RenderLib
