#include "renderlib/gltf_loader.h"

#include <tiny_gltf.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform_os/file_system.h"
#include "platform_os/huge_pages.h"
#include "renderlib/gltf_accessor.h"
#include "renderlib/gltf_embedded_buffers.h"
#include "renderlib/gltf_materials.h"
#include "renderlib/gltf_morph.h"
#include "renderlib/gltf_scene.h"
#include "renderlib/gltf_source.h"
#include "renderlib/gltf_unsupported.h"
#include "renderlib/json_nesting.h"
#include "renderlib/vertex_frames.h"

namespace RenderLib {
namespace {

using Gltf::AccessorView;


// Beyond these a model takes gigabytes; a few nodes placing a large mesh many times get there.
constexpr size_t kMaxVertices = size_t(1) << 26;
constexpr size_t kMaxIndices = size_t(3) << 26;

// Keeps the bytes of images named by URI for decoding through imagelib later; images in buffer
// views are read from the buffers once every bound has been checked.
bool KeepImageBytes(tinygltf::Image* image, const int index, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void* store) {
  if (image->bufferView >= 0 || index < 0 || size <= 0) return true;
  static_cast<Gltf::ImageFileBytes*>(store)->Keep(index, image->uri, bytes, size_t(size));
  return true;
}

constexpr uint64_t kMaxNamedFileBytes = uint64_t(1) << 31;

// The buffers and images a file names are read only from regular files, and no more than such a
// file can sensibly hold: a name such as /dev/zero or a FIFO would otherwise be read for ever.
// Buffers whose data URIs were decoded ahead of the parse are answered from memory.
bool ReadNamedFile(std::vector<unsigned char>* bytes, std::string* error, const std::string& path, void* embedded) {
  if (embedded != nullptr && static_cast<Gltf::EmbeddedBuffers*>(embedded)->Take(path, *bytes)) return true;
  return Platform::ReadRegularFile(path, *bytes, kMaxNamedFileBytes, error);
}

// Asks the file system without opening the file: opening a FIFO would wait for a writer for ever.
// Whatever exists is read by ReadNamedFile, which refuses what is not a regular file by name.
bool NamedFileExists(const std::string& path, void* embedded) {
  if (embedded != nullptr && static_cast<Gltf::EmbeddedBuffers*>(embedded)->Holds(path)) return true;
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// Real assets nest a few levels deep; the JSON parser recurses once a level, and a document nested
// tens of thousands deep would exhaust its stack.
constexpr size_t kMaxJsonNesting = 512;

// The JSON text of a .glb file: its first chunk, when the header and chunk lengths make sense.
std::string_view GlbJson(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < 20) return {};
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 12, sizeof length);
  if (length > bytes.size() - 20) return {};
  return std::string_view(reinterpret_cast<const char*>(bytes.data()) + 20, length);
}

// The folder the library resolves a .gltf file's relative URIs against, as it works it out itself.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// tinygltf's messages end in newlines and may hold several lines: one line, parts split by "; ".
std::string OneLine(const std::string& text) {
  // The library quotes what it refused, a data URI of megabytes included: a word is cut short.
  constexpr size_t kLongestWord = 80;
  std::string line;
  size_t word = 0;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty() && line.back() != ' ') line += "; ";
      word = 0;
      continue;
    }
    word = c == ' ' ? 0 : word + 1;
    if (word > kLongestWord) {
      if (word == kLongestWord + 1) line += "\u2026";
      continue;
    }
    line += c;
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
  return line;
}

// One primitive of one placed mesh, checked and sized before anything is copied.
struct PrimitivePlan {
  const Gltf::MeshInstance* instance = nullptr;
  int mesh = 0;
  int primitive = 0;
  int mode = Gltf::kModeTriangles;
  int32_t group = 0;
  AccessorView positions;
  AccessorView normals;
  AccessorView coordinates;  // the ageing set: the one the material's base colour map reads
  AccessorView sets[2];      // TEXCOORD_0 and TEXCOORD_1
  AccessorView colors;
  AccessorView indices;
  bool hasNormals = false;
  bool hasCoordinates = false;
  bool hasSet[2] = {false, false};
  bool hasColors = false;
  bool indexed = false;
  // The base colour map's transform, none when it changes nothing.
  const TextureTransform* ageingTransform = nullptr;
  bool identity = true;  // the node's world transform changes nothing
  bool mirrors = false;  // it turns triangles over
  size_t triangles = 0;
  size_t vertexCount = 0;  // vertices it adds to its group

  std::string Name() const { return "mesh " + std::to_string(mesh) + " primitive " + std::to_string(primitive); }

  // The local vertex numbers of triangle t, in the primitive's own winding.
  void Corners(size_t t, size_t corner[3]) const {
    if (mode == Gltf::kModeTriangleStrip) {
      const size_t odd = t & 1;
      corner[0] = t;
      corner[1] = t + 1 + odd;
      corner[2] = t + 2 - odd;
    } else if (mode == Gltf::kModeTriangleFan) {
      corner[0] = t + 1;
      corner[1] = t + 2;
      corner[2] = 0;
    } else {
      corner[0] = 3 * t;
      corner[1] = 3 * t + 1;
      corner[2] = 3 * t + 2;
    }
  }
};

class GltfReader {
public:
  GltfReader(const char* path, ErrorList* errors, Textures textures) : path(path), errors(errors), textures(textures) {}

  std::unique_ptr<ObjModel> Read() {
    model = std::make_unique<ObjModel>();
    std::vector<Gltf::MeshInstance> instances;
    if (!Parse() || !CheckVersion() || !CheckExtensions() || !CheckMeshes() || !ReadMaterials() || !Gltf::CollectMeshInstances(file, instances, problem) ||
        !Plan(instances) || !Fill()) {
      return Fail();
    }
    KeepSource();
    return std::move(model);
  }

private:
  std::nullptr_t Fail() {
    if (errors != nullptr) errors->push_back(path + ": " + problem);
    return nullptr;
  }

  // Notes are about the file being read, so they do not name it: whoever shows them does, once.
  void Note(const std::string& message) {
    if (errors != nullptr) errors->push_back(message);
  }

  // Reads the JSON and the buffers through tinygltf, a binary file told by its magic number.
  bool Parse() {
    std::FILE* handle = std::fopen(path.c_str(), "rb");
    if (handle == nullptr) {
      problem = std::string("cannot open the file: ") + std::strerror(errno);
      return false;
    }
    uint8_t header[12] = {};
    const size_t headerSize = std::fread(header, 1, sizeof header, handle);
    long fileSize = -1;
    if (std::fseek(handle, 0, SEEK_END) == 0) fileSize = std::ftell(handle);
    std::fclose(handle);
    const bool binary = headerSize >= 4 && std::memcmp(header, "glTF", 4) == 0;
    if (binary) {
      uint32_t declared = 0;
      if (headerSize == sizeof header) std::memcpy(&declared, header + 8, sizeof declared);
      if (headerSize < sizeof header) {
        problem = "the binary glTF file is truncated: it ends within its 12-byte header";
      } else if (fileSize >= 0 && uint64_t(fileSize) < declared) {
        problem = "the binary glTF file is truncated: it holds " + std::to_string(fileSize) + " of the " +
                  std::to_string(declared) + " bytes its header declares";
      }
      if (!problem.empty()) return false;
    }

    tinygltf::TinyGLTF loader;
    std::string error, warning;
    bool parsed = false;
    std::vector<unsigned char> bytes;
    std::string_view json;
    try {
      if (!Platform::ReadRegularFile(path, bytes, kMaxNamedFileBytes, nullptr) || bytes.empty()) {
        // Read the library's way, so that the refusal says what it always said.
        Prepare(loader, nullptr);
        parsed = binary ? loader.LoadBinaryFromFile(&file, &error, &warning, path)
                        : loader.LoadASCIIFromFile(&file, &error, &warning, path);
      } else {
        json = binary ? GlbJson(bytes) : std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (JsonNestingDepth(json, kMaxJsonNesting) > kMaxJsonNesting) {
          problem = "its JSON nests arrays and objects more than " + std::to_string(kMaxJsonNesting) +
                    " levels deep, deeper than any glTF asset needs";
          return false;
        }
        if (binary) {
          Prepare(loader, nullptr);
          parsed = loader.LoadBinaryFromMemory(&file, &error, &warning, bytes.data(), unsigned(bytes.size()),
                                               FolderOf(path));
        } else {
          parsed = ParseText(loader, bytes, error, warning);
        }
      }
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    } catch (const std::exception& exception) {
      error = exception.what();
    }
    if (!parsed) {
      // The library stumbles over the consequence (an accessor without data, a file not found);
      // the cause, when it is one Patinex knows, is named instead.
      try {
        problem = Gltf::UnmetDemand(Gltf::DemandsOfText(json));
      } catch (const std::bad_alloc&) {
      }
      if (!problem.empty()) return false;
      problem = "not a readable glTF file: " + (error.empty() ? std::string("no reason given") : OneLine(error));
      return false;
    }
    return true;
  }

  void Prepare(tinygltf::TinyGLTF& loader, Gltf::EmbeddedBuffers* embedded) {
    loader.SetImageLoader(KeepImageBytes, &imageFiles);
    loader.SetFsCallbacks({NamedFileExists, tinygltf::ExpandFilePath, ReadNamedFile, nullptr, embedded});
  }

  // Parses the text of a .gltf file, its buffers' data URIs decoded by our own decoder, which is
  // many times faster than the library's. A text that fails so is parsed again as it is, for
  // the library to refuse it in its own words.
  bool ParseText(tinygltf::TinyGLTF& loader, const std::vector<unsigned char>& text, std::string& error,
                 std::string& warning) {
    const std::string folder = FolderOf(path);
    const std::string_view json(reinterpret_cast<const char*>(text.data()), text.size());
    Gltf::EmbeddedBuffers embedded;
    std::string rewritten;
    if (embedded.Extract(json, rewritten)) {
      Prepare(loader, &embedded);
      if (loader.LoadASCIIFromString(&file, &error, &warning, rewritten.data(), unsigned(rewritten.size()), folder)) {
        return true;
      }
      error.clear();
      warning.clear();
      file = tinygltf::Model();
      imageFiles.Clear();
    }
    Prepare(loader, nullptr);
    return loader.LoadASCIIFromString(&file, &error, &warning, json.data(), unsigned(json.size()), folder);
  }

  // glTF 1.0 files parse here too, as something else: refused by their version.
  bool CheckVersion() {
    const std::string& version = file.asset.version;
    if (version.rfind("2.", 0) == 0) return true;
    problem = "it is a glTF " + (version.empty() ? std::string("file of no stated version") : version + " file") +
              "; Patinex reads glTF 2.0";
    return false;
  }

  // A mesh always lists at least one primitive; none read means they were not given as a list.
  bool CheckMeshes() {
    for (size_t i = 0; i < file.meshes.size(); ++i) {
      if (file.meshes[i].primitives.empty()) {
        problem = "mesh " + std::to_string(i) + " has no primitives (they are given as a list of one or more)";
        return false;
      }
    }
    return true;
  }

  // Files that need what Patinex does not do (an extension, Draco-compressed primitives, files
  // named by absolute paths) are refused, naming what they need.
  bool CheckExtensions() {
    problem = Gltf::UnmetDemand(Gltf::DemandsOfModel(file));
    return problem.empty();
  }

  bool ReadMaterials() {
    ErrorList notes;
    const bool read = Gltf::ReadMaterials(file, imageFiles, textures, model->materials, &notes, problem);
    for (const std::string& note : notes) Note(note);
    return read;
  }

  // A material without a base colour map ages on TEXCOORD_0 as the file gives it. The file is
  // asked rather than the map, which a load without textures leaves empty.
  bool HasBaseColorMap(int material) const {
    return material >= 0 && file.materials[size_t(material)].pbrMetallicRoughness.baseColorTexture.index >= 0;
  }

  // Whether the groups of the material keep both coordinate sets beside their vertices: the
  // window and the bake lay its maps at their own set and transform from them.
  bool LaysMapsApart(int material) const {
    if (material < 0) return false;
    const Material& m = *model->materials[size_t(material)];
    for (const TextureSlot* slot :
         {&m.baseColorSlot, &m.metallicRoughnessSlot, &m.normalSlot, &m.occlusionSlot, &m.emissiveSlot}) {
      if (slot->texCoord != 0 || !slot->transform.IsIdentity()) return true;
    }
    return false;
  }

  // The group of a material (-1 for none), made on its first use.
  int32_t GroupOf(int material) {
    for (size_t i = 0; i < model->groups.size(); ++i) {
      if (model->groups[i].materialIndex == material) return int32_t(i);
    }
    MeshGroup group;
    group.materialIndex = material;
    model->groups.push_back(std::move(group));
    return int32_t(model->groups.size() - 1);
  }

  bool ViewAttribute(const tinygltf::Primitive& primitive, const char* name, const PrimitivePlan& plan,
                     AccessorView& view, bool& present) {
    const auto found = primitive.attributes.find(name);
    present = found != primitive.attributes.end();
    if (!present) return true;
    if (!Gltf::ViewAccessor(file, found->second, view, problem)) {
      problem = plan.Name() + " " + name + ": " + problem;
      return false;
    }
    return true;
  }

  // Checks every primitive the scene shows and works out the size of every group.
  bool Plan(const std::vector<Gltf::MeshInstance>& instances) {
    std::set<std::pair<int, int>> noted;
    for (const Gltf::MeshInstance& instance : instances) {
      const tinygltf::Mesh& mesh = file.meshes[size_t(instance.mesh)];
      for (size_t p = 0; p < mesh.primitives.size(); ++p) {
        const tinygltf::Primitive& primitive = mesh.primitives[p];
        PrimitivePlan plan;
        plan.instance = &instance;
        plan.mesh = instance.mesh;
        plan.primitive = int(p);
        plan.mode = primitive.mode == -1 ? Gltf::kModeTriangles : primitive.mode;  // -1: not given
        plan.identity = instance.world.IsIdentity();
        plan.mirrors = instance.world.Mirrors();
        const bool firstTime = noted.insert({plan.mesh, plan.primitive}).second;
        if (plan.mode < 0 || plan.mode > Gltf::kModeTriangleFan) {
          problem = plan.Name() + " has the unknown mode " + std::to_string(plan.mode);
          return false;
        }
        if (plan.mode < Gltf::kModeTriangles) {
          static const char* const kKinds[] = {"points", "lines", "a line loop", "a line strip"};
          if (firstTime) Note(plan.Name() + " holds " + kKinds[plan.mode] + ", not triangles: skipped");
          continue;
        }
        bool hasPositions = false;
        if (!ViewAttribute(primitive, "POSITION", plan, plan.positions, hasPositions)) return false;
        if (!hasPositions) {
          if (firstTime) Note(plan.Name() + " has no POSITION: skipped");
          continue;
        }
        if (plan.positions.componentType != Gltf::kFloat || plan.positions.components != 3) {
          problem = plan.Name() + " POSITION is not three floats a vertex";
          return false;
        }
        if (!ViewAttribute(primitive, "NORMAL", plan, plan.normals, plan.hasNormals)) return false;
        if (plan.hasNormals) {
          const int type = plan.normals.componentType;
          const bool quantized = (type == Gltf::kByte || type == Gltf::kShort) && plan.normals.normalized;
          if (plan.normals.components != 3 || (type != Gltf::kFloat && !quantized)) {
            problem = plan.Name() + " NORMAL is neither three floats nor three normalized bytes or shorts a vertex";
            return false;
          }
          if (quantized) ConvertToFloats(plan.normals);
        }
        for (int set = 0; set < 2; ++set) {
          const std::string name = "TEXCOORD_" + std::to_string(set);
          if (!ViewAttribute(primitive, name.c_str(), plan, plan.sets[set], plan.hasSet[set])) return false;
          if (!plan.hasSet[set]) continue;
          AccessorView& view = plan.sets[set];
          const int type = view.componentType;
          const bool readable = type == Gltf::kFloat || type == Gltf::kByte || type == Gltf::kUnsignedByte ||
                                type == Gltf::kShort || type == Gltf::kUnsignedShort;
          if (view.components != 2 || !readable) {
            problem = plan.Name() + " " + name + " is not two floats, bytes or shorts a vertex";
            return false;
          }
          // Floats and normalized unsigned values are read as they are; what quantized files
          // add (signed, or integers as they are) is turned into floats once.
          const bool direct =
              type == Gltf::kFloat || ((type == Gltf::kUnsignedByte || type == Gltf::kUnsignedShort) && view.normalized);
          if (!direct) ConvertToFloats(view);
        }
        if (!ViewAttribute(primitive, "COLOR_0", plan, plan.colors, plan.hasColors)) return false;
        if (plan.hasColors) {
          const int type = plan.colors.componentType;
          const bool readable =
              (plan.colors.components == 3 || plan.colors.components == 4) &&
              (type == Gltf::kFloat ||
               ((type == Gltf::kUnsignedByte || type == Gltf::kUnsignedShort) && plan.colors.normalized));
          if (!readable) {
            problem = plan.Name() + " COLOR_0 is neither three or four floats nor normalized unsigned bytes or shorts";
            return false;
          }
        }
        const size_t vertices = plan.positions.count;
        const std::pair<const AccessorView*, const char*> attributes[] = {{&plan.normals, "normals"},
                                                                          {&plan.sets[0], "TEXCOORD_0 values"},
                                                                          {&plan.sets[1], "TEXCOORD_1 values"},
                                                                          {&plan.colors, "COLOR_0 values"}};
        for (const auto& [attribute, what] : attributes) {
          if (attribute->count != 0 && attribute->count != vertices) {
            problem = plan.Name() + " has " + std::to_string(vertices) + " positions but " +
                      std::to_string(attribute->count) + " " + what;
            return false;
          }
        }
        plan.indexed = primitive.indices >= 0;
        if (plan.indexed) {
          if (!Gltf::ViewAccessor(file, primitive.indices, plan.indices, problem)) {
            problem = plan.Name() + " indices: " + problem;
            return false;
          }
          const int type = plan.indices.componentType;
          if (plan.indices.components != 1 ||
              (type != Gltf::kUnsignedByte && type != Gltf::kUnsignedShort && type != Gltf::kUnsignedInt)) {
            problem = plan.Name() + " indices are not unsigned bytes, shorts or ints";
            return false;
          }
        }
        const size_t corners = plan.indexed ? plan.indices.count : vertices;
        plan.triangles = plan.mode == Gltf::kModeTriangles ? corners / 3 : corners >= 3 ? corners - 2 : 0;
        if (plan.triangles == 0) continue;
        plan.vertexCount = plan.hasNormals ? vertices : 3 * plan.triangles;

        if (primitive.material < -1 || primitive.material >= int(model->materials.size())) {
          problem = plan.Name() + " names material " + std::to_string(primitive.material) + ", which does not exist";
          return false;
        }
        plan.group = GroupOf(primitive.material);
        if (size_t(plan.group) >= sizes.size()) sizes.resize(size_t(plan.group) + 1);
        int ageingSet = 0;
        if (HasBaseColorMap(primitive.material)) {
          const TextureSlot& base = model->materials[size_t(primitive.material)]->baseColorSlot;
          ageingSet = base.texCoord;
          if (!base.transform.IsIdentity()) plan.ageingTransform = &base.transform;
        }
        plan.coordinates = plan.sets[ageingSet];
        plan.hasCoordinates = plan.hasSet[ageingSet];
        if (plan.hasColors || LaysMapsApart(primitive.material)) sizes[size_t(plan.group)].extras = true;
        if (!Morph(instance, primitive, plan)) return false;
        sizes[size_t(plan.group)].vertices += plan.vertexCount;
        sizes[size_t(plan.group)].indices += 3 * plan.triangles;
        totalVertices += plan.vertexCount;
        totalIndices += 3 * plan.triangles;
        if (totalVertices > kMaxVertices || totalIndices > kMaxIndices) {
          problem = "the scene places more than " + std::to_string(kMaxVertices) + " vertices or " +
                    std::to_string(kMaxIndices / 3) + " triangles, more than Patinex takes";
          return false;
        }
        plans.push_back(plan);
      }
    }
    return true;
  }

  // The shape every viewer shows when nothing animates it: the morph targets at the default
  // weights, applied in the mesh's own space before the node places it. A skinned mesh is read
  // in its bind pose, placed by its node as an unskinned one: this assumes the joints rest where
  // the inverse bind matrices put them, as exporters write them.
  bool Morph(const Gltf::MeshInstance& instance, const tinygltf::Primitive& primitive, PrimitivePlan& plan) {
    if (primitive.targets.empty()) return true;
    const std::vector<double>& weights = Gltf::DefaultMorphWeights(file, instance.node, instance.mesh);
    for (const auto& [attribute, view, present] :
         {std::tuple{"POSITION", &plan.positions, true}, std::tuple{"NORMAL", &plan.normals, plan.hasNormals}}) {
      if (!present) continue;
      std::vector<float> values;
      if (!Gltf::ApplyMorphTargets(file, primitive, attribute, weights, *view, values, problem)) {
        problem = plan.Name() + " " + problem;
        return false;
      }
      if (!values.empty()) converted.push_back(std::move(values));
    }
    return true;
  }

  // Points the view at its elements turned into floats, kept for as long as the reader.
  void ConvertToFloats(AccessorView& view) {
    converted.push_back(Gltf::ReadAsFloats(view));
    view.data = reinterpret_cast<const uint8_t*>(converted.back().data());
    view.stride = size_t(view.components) * sizeof(float);
    view.componentType = Gltf::kFloat;
    view.normalized = false;
  }

  // The extras of local vertex i: both sets as the file gives them, v turned up, and its colour.
  static VertexExtras ExtrasOf(const PrimitivePlan& plan, size_t i) {
    VertexExtras extras;
    for (int set = 0; set < 2; ++set) {
      if (!plan.hasSet[set]) continue;
      float uv[2];
      Gltf::ReadFloat2(plan.sets[set], i, uv);
      extras.texCoord[set][0] = uv[0];
      extras.texCoord[set][1] = 1.0f - uv[1];
    }
    if (plan.hasColors) Gltf::ReadColor(plan.colors, i, extras.color);
    return extras;
  }

  // Copies every planned primitive into its group, transformed into world space. Normals are
  // scaled and tangents summed as each vertex and triangle is written, so that a large model is
  // passed over as few times as possible; what needs every triangle first comes after.
  bool Fill() {
    for (size_t g = 0; g < model->groups.size(); ++g) {
      MeshGroup& group = model->groups[g];
      group.vertices.reserve(sizes[g].vertices);
      group.indices.reserve(sizes[g].indices);
      if (sizes[g].extras) group.extras.reserve(sizes[g].vertices);
      // A large model's arrays are fresh memory, whose page faults cost more than the filling.
      Platform::AdviseHugePagesWithin(group.vertices.data(), group.vertices.capacity() * sizeof(VertexNormalUV));
      Platform::AdviseHugePagesWithin(group.indices.data(), group.indices.capacity() * sizeof(int32_t));
    }
    for (const PrimitivePlan& plan : plans) {
      MeshGroup& group = model->groups[plan.group];
      bool& normalsWaiting = sizes[plan.group].normalsWaiting;
      placed.push_back({plan.mesh, plan.primitive, plan.instance->node, plan.group, int32_t(group.vertices.size()),
                        int32_t(plan.vertexCount), !plan.hasNormals});
      const bool extras = sizes[plan.group].extras;
      const bool filled = plan.hasNormals ? FillShared(plan, group, normalsWaiting, extras)
                                          : FillFlat(plan, group, normalsWaiting, extras);
      if (!filled) return false;
    }
    for (size_t g = 0; g < model->groups.size(); ++g) {
      if (sizes[g].normalsWaiting) FillZeroNormals(model->groups[g]);
      FinishTangents(model->groups[g]);
    }
    return true;
  }

  // Hands where each primitive went to the model and, unless the load wants the geometry alone
  // (when the document would only take memory), the parsed document and its images' bytes, for an
  // export to write the file again.
  void KeepSource() {
    auto source = std::make_shared<GltfSource>();
    source->path = path;
    source->placed = std::move(placed);
    for (const tinygltf::Mesh& mesh : file.meshes) source->meshNames.push_back(mesh.name);
    if (textures == Textures::kSkip) {
      model->gltfSource = std::move(source);
      return;
    }
    source->imageBytes.resize(file.images.size());
    for (size_t i = 0; i < file.images.size(); ++i) {
      const tinygltf::Image& image = file.images[i];
      std::vector<uint8_t>& bytes = source->imageBytes[i];
      if (i < imageFiles.bytes.size() && !imageFiles.bytes[i].empty()) {
        bytes = std::move(imageFiles.bytes[i]);
      } else if (const auto first = imageFiles.firstWithUri.find(image.uri);
                 !image.uri.empty() && first != imageFiles.firstWithUri.end() && size_t(first->second) < i) {
        bytes = source->imageBytes[size_t(first->second)];
      } else if (image.bufferView >= 0 && size_t(image.bufferView) < file.bufferViews.size()) {
        const tinygltf::BufferView& view = file.bufferViews[size_t(image.bufferView)];
        if (view.buffer >= 0 && size_t(view.buffer) < file.buffers.size()) {
          const std::vector<unsigned char>& data = file.buffers[size_t(view.buffer)].data;
          if (view.byteOffset <= data.size() && view.byteLength <= data.size() - view.byteOffset) {
            bytes.assign(data.begin() + std::ptrdiff_t(view.byteOffset),
                         data.begin() + std::ptrdiff_t(view.byteOffset + view.byteLength));
          }
        }
      }
    }
    source->document = std::make_unique<tinygltf::Model>(std::move(file));
    model->gltfSource = std::move(source);
  }

  bool Position(const PrimitivePlan& plan, size_t i, Vector3& position) {
    float p[3];
    Gltf::ReadFloat3(plan.positions, i, p);
    position = plan.identity ? Vector3(p[0], p[1], p[2]) : plan.instance->world.Point(p);
    if (std::isfinite(position.x) && std::isfinite(position.y) && std::isfinite(position.z)) return true;
    PositionNotFinite(plan, i, position);
    return false;
  }

  // Kept apart so that the check above stays small enough to inline. The point named is where the
  // node's transform puts it, which is what is not finite; the file's own value may well be.
  [[gnu::noinline]] void PositionNotFinite(const PrimitivePlan& plan, size_t i, const Vector3& placed) {
    problem = plan.Name() + " position " + std::to_string(i) + " is not finite (" + std::to_string(placed.x) + ", " +
              std::to_string(placed.y) + ", " + std::to_string(placed.z) + ")";
    if (!plan.identity) problem += " as node " + std::to_string(plan.instance->node) + " places it";
  }

  [[gnu::noinline]] void IndexPastVertices(const PrimitivePlan& plan, size_t k, uint32_t index) {
    problem = plan.Name() + " index " + std::to_string(k) + " is " + std::to_string(index) + ", past its " +
              std::to_string(plan.positions.count) + " vertices";
  }

  // The ageing coordinates: the base colour map's set through its transform.
  static void TextureCoordinates(const PrimitivePlan& plan, size_t i, VertexNormalUV& vertex) {
    if (!plan.hasCoordinates) return;
    float uv[2];
    Gltf::ReadFloat2(plan.coordinates, i, uv);
    if (plan.ageingTransform != nullptr) plan.ageingTransform->Apply(uv[0], uv[1], uv[0], uv[1]);
    vertex.u = uv[0];
    vertex.v = 1.0f - uv[1];  // glTF's v grows downwards, ours upwards
  }

  // The local vertex numbers of triangle t, checked against the vertex count.
  bool Triangle(const PrimitivePlan& plan, size_t t, uint32_t corner[3]) {
    size_t at[3];
    plan.Corners(t, at);
    for (int k = 0; k < 3; ++k) {
      corner[k] = plan.indexed ? Gltf::ReadIndex(plan.indices, at[k]) : uint32_t(at[k]);
      if (corner[k] >= plan.positions.count) {
        IndexPastVertices(plan, at[k], corner[k]);
        return false;
      }
    }
    // A mirroring transform turns the triangle over; swapping two corners turns it back.
    if (plan.mirrors) std::swap(corner[1], corner[2]);
    return true;
  }

  // Appends a triangle of the group's vertices, whose tangents start from zero and sum those of
  // their triangles in the order the triangles are written.
  static void AddTriangle(MeshGroup& group, int32_t a, int32_t b, int32_t c) {
    group.indices.push_back(a);
    group.indices.push_back(b);
    group.indices.push_back(c);
    AddTriangleTangent(group.vertices.data(), a, b, c);
  }

  // A primitive with normals keeps its vertices shared between its triangles.
  bool FillShared(const PrimitivePlan& plan, MeshGroup& group, bool& normalsWaiting, bool extras) {
    const Gltf::Transform& world = plan.instance->world;
    const int32_t base = int32_t(group.vertices.size());
    for (size_t i = 0; i < plan.vertexCount; ++i) {
      VertexNormalUV vertex;
      if (!Position(plan, i, vertex.position)) return false;
      float n[3];
      Gltf::ReadFloat3(plan.normals, i, n);
      vertex.normal = plan.identity ? Vector3(n[0], n[1], n[2]) : world.Normal(n);
      if (!ScaleNormalOrMarkWaiting(vertex.normal)) normalsWaiting = true;
      TextureCoordinates(plan, i, vertex);
      group.vertices.push_back(vertex);
    }
    // Apart from the loop above, which most groups take alone.
    if (extras) {
      for (size_t i = 0; i < plan.vertexCount; ++i) group.extras.push_back(ExtrasOf(plan, i));
    }
    if (plan.indexed && plan.mode == Gltf::kModeTriangles && !plan.mirrors) {
      // The common case, kept to one read and one check an index.
      const uint32_t limit = uint32_t(plan.positions.count);
      for (size_t k = 0; k < 3 * plan.triangles; k += 3) {
        int32_t corner[3];
        for (size_t c = 0; c < 3; ++c) {
          const uint32_t index = Gltf::ReadIndex(plan.indices, k + c);
          if (index >= limit) {
            IndexPastVertices(plan, k + c, index);
            return false;
          }
          corner[c] = base + int32_t(index);
        }
        AddTriangle(group, corner[0], corner[1], corner[2]);
      }
      return true;
    }
    for (size_t t = 0; t < plan.triangles; ++t) {
      uint32_t corner[3];
      if (!Triangle(plan, t, corner)) return false;
      AddTriangle(group, base + int32_t(corner[0]), base + int32_t(corner[1]), base + int32_t(corner[2]));
    }
    return true;
  }

  // A primitive without normals gets flat ones, as the format asks: every triangle its own three
  // vertices and its face normal, facing the side its corners turn anticlockwise around.
  bool FillFlat(const PrimitivePlan& plan, MeshGroup& group, bool& normalsWaiting, bool extras) {
    for (size_t t = 0; t < plan.triangles; ++t) {
      uint32_t corner[3];
      if (!Triangle(plan, t, corner)) return false;
      VertexNormalUV triangle[3];
      for (int k = 0; k < 3; ++k) {
        if (!Position(plan, corner[k], triangle[k].position)) return false;
        TextureCoordinates(plan, corner[k], triangle[k]);
      }
      Vector3 normal = Cross(triangle[1].position - triangle[0].position, triangle[2].position - triangle[0].position);
      // A triangle without area keeps a zero normal, which the repair afterwards replaces.
      if (!ScaleToUnit(normal)) normal = Vector3();
      if (!ScaleNormalOrMarkWaiting(normal)) normalsWaiting = true;
      const int32_t first = int32_t(group.vertices.size());
      for (VertexNormalUV& vertex : triangle) {
        vertex.normal = normal;
        group.vertices.push_back(vertex);
      }
      if (extras) {
        for (int k = 0; k < 3; ++k) group.extras.push_back(ExtrasOf(plan, corner[k]));
      }
      AddTriangle(group, first, first + 1, first + 2);
    }
    return true;
  }

  std::string path;
  ErrorList* errors;
  Textures textures;
  std::string problem;
  tinygltf::Model file;
  Gltf::ImageFileBytes imageFiles;
  std::unique_ptr<ObjModel> model;
  std::vector<PrimitivePlan> plans;
  // The morphed and converted attributes plans read instead of the file's.
  std::deque<std::vector<float>> converted;
  std::vector<PlacedPrimitive> placed;
  struct GroupSize {
    size_t vertices = 0;
    size_t indices = 0;
    bool normalsWaiting = false;  // some normal could not be scaled to unit length
    bool extras = false;          // its vertices carry VertexExtras
  };
  std::vector<GroupSize> sizes;  // one a group
  size_t totalVertices = 0;
  size_t totalIndices = 0;
};

}  // namespace

std::unique_ptr<ObjModel> LoadGltf(const char* path, ErrorList* errors, Textures textures) {
  const char* name = path != nullptr ? path : "(no path)";
  try {
    return GltfReader(name, errors, textures).Read();
  } catch (const std::bad_alloc&) {
    if (errors != nullptr) errors->push_back(std::string(name) + ": out of memory reading the model");
    return nullptr;
  }
}

}  // namespace RenderLib
