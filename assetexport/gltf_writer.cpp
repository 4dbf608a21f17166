#include "assetexport/gltf_writer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

#include "platform_os/temporary_file.h"
#include "renderlib/gltf_constants.h"

namespace AssetExport {
namespace {

using Json = nlohmann::json;

namespace Gltf = RenderLib::Gltf;

// The binary buffer and the views into it, built together.
class BufferBuilder {
public:
  // Appends bytes as a view of their own (4-byte aligned); returns its index.
  int AddView(const void* data, size_t size, int target) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    Json view = {{"buffer", 0}, {"byteOffset", bytes.size()}, {"byteLength", size}};
    if (target != 0) view["target"] = target;
    const uint8_t* start = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), start, start + size);
    views.push_back(std::move(view));
    return int(views.size()) - 1;
  }

  std::vector<uint8_t> bytes;
  Json views = Json::array();
};

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

// One primitive per group that has faces; its accessors and views appended.
Json GroupPrimitive(const RenderLib::MeshGroup& group, const std::vector<SurfaceFrame>& frames, BufferBuilder& buffer,
                    Json& accessors) {
  const size_t count = group.vertices.size();
  std::vector<float> positions, normals, tangents, coordinates;
  positions.reserve(count * 3);
  normals.reserve(count * 3);
  tangents.reserve(count * 4);
  coordinates.reserve(count * 2);
  float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::max()};
  float high[3] = {-low[0], -low[1], -low[2]};
  for (size_t i = 0; i < count; ++i) {
    const RenderLib::VertexNormalUV& vertex = group.vertices[i];
    const SurfaceFrame& frame = frames[i];
    for (int axis = 0; axis < 3; ++axis) {
      positions.push_back(vertex.position[axis]);
      low[axis] = std::min(low[axis], vertex.position[axis]);
      high[axis] = std::max(high[axis], vertex.position[axis]);
      normals.push_back(frame.normal[axis]);
      tangents.push_back(frame.tangent[axis]);
    }
    tangents.push_back(frame.handedness);
    // glTF's v grows downwards.
    coordinates.push_back(vertex.u);
    coordinates.push_back(1.0f - vertex.v);
  }
  auto accessor = [&](const std::vector<float>& values, const char* type, int components) {
    const int view = buffer.AddView(values.data(), values.size() * sizeof(float), Gltf::kArrayBuffer);
    accessors.push_back({{"bufferView", view}, {"componentType", Gltf::kFloat}, {"count", values.size() / components},
                         {"type", type}});
    return int(accessors.size()) - 1;
  };
  Json attributes;
  attributes["POSITION"] = accessor(positions, Gltf::kVec3, 3);
  accessors.back()["min"] = {low[0], low[1], low[2]};
  accessors.back()["max"] = {high[0], high[1], high[2]};
  attributes["NORMAL"] = accessor(normals, Gltf::kVec3, 3);
  attributes["TANGENT"] = accessor(tangents, Gltf::kVec4, 4);
  attributes["TEXCOORD_0"] = accessor(coordinates, Gltf::kVec2, 2);
  std::vector<uint32_t> indices;
  indices.reserve(group.indices.size());
  for (const int32_t index : group.indices) indices.push_back(uint32_t(index));
  const int view = buffer.AddView(indices.data(), indices.size() * sizeof(uint32_t), Gltf::kElementArrayBuffer);
  accessors.push_back(
      {{"bufferView", view}, {"componentType", Gltf::kUnsignedInt}, {"count", indices.size()}, {"type", Gltf::kScalar}});
  return {{"attributes", attributes}, {"indices", int(accessors.size()) - 1}, {"material", 0}, {"mode", Gltf::kModeTriangles}};
}

// A file name as a relative URI: every byte but the unreserved ones percent-encoded.
std::string UriOf(const std::string& fileName) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string uri;
  for (const unsigned char c : fileName) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

std::string ExtensionOfMime(const std::string& mimeType) { return mimeType == "image/jpeg" ? ".jpg" : ".png"; }

// The files of one asset, each written whole under a hidden temporary name first and put under
// the final names only once all are; until then the earlier asset at those names is untouched.
// Any file not put in place is removed when the set goes (or by a signal, through the temporary
// files' exit removals).
class FileSet {
public:
  struct Part {
    const void* data;
    size_t size;
  };

  // Writes one file of the set, the main file (.glb or .gltf) last; false after a write error or
  // when stop is set (error is then kStopped).
  bool Write(const std::string& path, std::initializer_list<Part> parts) {
    if (Stopped()) return false;
    auto file = std::make_unique<Platform::TemporaryFile>(path);
    std::string why;
    if (!file->Create(&why)) {
      error = "cannot make a file beside " + path + ": " + why;
      return false;
    }
    bool written = true;
    for (const Part& part : parts) written = written && std::fwrite(part.data, 1, part.size, file->File()) == part.size;
    written = written && std::fflush(file->File()) == 0;
    if (!written) {
      error = "writing " + path + " failed: " + std::strerror(errno);
      return false;
    }
    if (!file->Finish(&why)) {
      error = "writing " + path + " failed: " + why;
      return false;
    }
    files.emplace_back(path, std::move(file));
    return true;
  }

  // Puts the finished files under their names. A .gltf names its companions by fixed names, so
  // no order of renames alone keeps the old .gltf beside its own companions throughout. What is
  // kept instead is that a .gltf present always names a whole, matching set: the old .gltf goes
  // first (from then on nothing names the old companions), the companions are renamed over the
  // old ones, and the new .gltf comes last, when everything it names is in place. A process that
  // ends in between leaves no .gltf, never a mixed one. A .glb is one file and one rename.
  bool PutInPlace() {
    if (Stopped()) return false;
    const std::string& main = files.back().first;
    std::error_code code;
    // A device or FIFO named as the output was written into and stays.
    if (files.size() > 1 && std::filesystem::is_regular_file(std::filesystem::symlink_status(main, code)) &&
        !std::filesystem::remove(main, code) && code) {
      error = "cannot replace " + main + ": " + code.message();
      return false;
    }
    for (auto& [path, file] : files) {
      std::string why;
      if (!file->PutInPlace(&why)) {
        // Renaming whole files within one folder seldom fails; when it does, say what became of
        // the earlier asset.
        error = "writing " + path + " failed: " + why +
                (files.size() > 1 ? " (the earlier " + main + " was removed, so no mixed set is left)" : "");
        return false;
      }
    }
    return true;
  }

  const std::atomic<bool>* stop = nullptr;
  std::string error;

private:
  bool Stopped() {
    if (stop == nullptr || !stop->load(std::memory_order_relaxed)) return false;
    error = kStopped;
    return true;
  }

  std::vector<std::pair<std::string, std::unique_ptr<Platform::TemporaryFile>>> files;
};

}  // namespace

bool WriteAgedGltf(const AgedAsset& asset, const std::string& path, std::string* error) {
  const std::filesystem::path target(path);
  const std::string extension = target.extension().string();
  if (extension != ".glb" && extension != ".gltf") {
    *error = path + ": an exported asset is a .glb or a .gltf file";
    return false;
  }
  const bool binary = extension == ".glb";
  if (asset.model == nullptr || asset.frames == nullptr) {
    *error = path + ": nothing to write";
    return false;
  }
  if (const std::string problem = CheckGeometry(*asset.model, *asset.frames); !problem.empty()) {
    *error = path + " not written: " + problem;
    return false;
  }

  BufferBuilder buffer;
  Json accessors = Json::array(), primitives = Json::array();
  for (size_t g = 0; g < asset.model->groups.size(); ++g) {
    const RenderLib::MeshGroup& group = asset.model->groups[g];
    if (group.indices.size() > 0) primitives.push_back(GroupPrimitive(group, (*asset.frames)[g], buffer, accessors));
  }

  const std::string stem = target.stem().string();
  const std::filesystem::path folder = target.parent_path();
  const AssetImage* images[6] = {&asset.baseColor, &asset.metallicRoughness, &asset.normal,
                                 &asset.masks[0],  &asset.masks[1],           &asset.masks[2]};
  Json imageList = Json::array();
  std::vector<std::pair<std::string, const AssetImage*>> imageFiles;
  for (const AssetImage* image : images) {
    Json entry = {{"name", image->name}};
    if (binary) {
      entry["bufferView"] = buffer.AddView(image->bytes.data(), image->bytes.size(), 0);
      entry["mimeType"] = image->mimeType;
    } else {
      const std::string fileName = stem + "_" + image->name + ExtensionOfMime(image->mimeType);
      entry["uri"] = UriOf(fileName);
      imageFiles.emplace_back((folder / fileName).string(), image);
    }
    imageList.push_back(std::move(entry));
  }

  Json material = {
      {"name", "aged"},
      {"pbrMetallicRoughness",
       {{"baseColorTexture", {{"index", 0}}}, {"metallicRoughnessTexture", {{"index", 1}}}}},
      {"normalTexture", {{"index", 2}}},
      {"extras",
       {{"patinexStep", asset.step},
        {"patinexRustFactor", asset.look.rustFactor},
        {"patinexDirtFactor", asset.look.dirtFactor},
        {"patinexMasks", {{"humidity", 3}, {"dirt", 4}, {"rust", 5}}}}}};
  Json document = {
      {"asset", {{"version", "2.0"}, {"generator", "Patinex"}}},
      {"scene", 0},
      {"scenes", {{{"nodes", {0}}}}},
      {"nodes", {{{"mesh", 0}, {"name", stem}}}},
      {"meshes", {{{"primitives", primitives}, {"name", stem}}}},
      {"materials", {material}},
      {"samplers", {{{"magFilter", Gltf::kLinear}, {"minFilter", Gltf::kLinearMipmapLinear}, {"wrapS", Gltf::kRepeat}, {"wrapT", Gltf::kRepeat}}}},
      {"textures", {{{"sampler", 0}, {"source", 0}}, {{"sampler", 0}, {"source", 1}}, {{"sampler", 0}, {"source", 2}}}},
      {"images", imageList},
      {"accessors", accessors},
      {"bufferViews", buffer.views},
  };
  while (buffer.bytes.size() % 4 != 0) buffer.bytes.push_back(0);
  Json bufferEntry = {{"byteLength", buffer.bytes.size()}};
  const std::string binName = stem + ".bin";
  if (!binary) bufferEntry["uri"] = UriOf(binName);
  document["buffers"] = {bufferEntry};

  FileSet files;
  files.stop = asset.stop;
  std::string text = document.dump(binary ? -1 : 2);
  bool written = true;
  if (binary) {
    while (text.size() % 4 != 0) text += ' ';
    const uint32_t length = uint32_t(12 + 8 + text.size() + 8 + buffer.bytes.size());
    if (12 + 8 + text.size() + 8 + buffer.bytes.size() > std::numeric_limits<uint32_t>::max()) {
      *error = path + " not written: a .glb holds at most 4 GiB";
      return false;
    }
    // The header ("glTF", version 2, length) and the JSON chunk's, the JSON, the binary chunk's
    // header and the buffer; little-endian words.
    const uint32_t header[5] = {Gltf::kGlbMagic, Gltf::kGlbVersion, length, uint32_t(text.size()), Gltf::kGlbJsonChunk};
    const uint32_t binaryHeader[2] = {uint32_t(buffer.bytes.size()), Gltf::kGlbBinaryChunk};
    written = files.Write(path, {{header, sizeof header},
                                 {text.data(), text.size()},
                                 {binaryHeader, sizeof binaryHeader},
                                 {buffer.bytes.data(), buffer.bytes.size()}});
  } else {
    written = files.Write((folder / binName).string(), {{buffer.bytes.data(), buffer.bytes.size()}});
    for (const auto& [file, image] : imageFiles) {
      written = written && files.Write(file, {{image->bytes.data(), image->bytes.size()}});
    }
    text += '\n';
    written = written && files.Write(path, {{text.data(), text.size()}});
  }
  if (!written || !files.PutInPlace()) {
    *error = files.error;
    return false;
  }
  return true;
}

}  // namespace AssetExport
