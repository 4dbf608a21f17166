#include "assetexport/gltf_writer.h"

#include <tiny_gltf.h>

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
#include <set>
#include <sstream>
#include <utility>

#include "assetexport/aged_document.h"
#include "platform_os/temporary_file.h"
#include "renderlib/gltf_constants.h"
#include "renderlib/gltf_source.h"

namespace AssetExport {
namespace {

namespace Gltf = RenderLib::Gltf;

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

// A name of the image's own for its file beside a .gltf: letters, digits, '-' and '_' of its
// name (image<i> for none), made unique.
std::string ImageFileName(const std::string& name, size_t index, std::set<std::string>& used) {
  std::string base;
  for (const unsigned char c : name) base += std::isalnum(c) || c == '-' || c == '_' ? char(c) : '_';
  if (base.empty()) base = "image" + std::to_string(index);
  std::string unique = base;
  for (int n = 2; !used.insert(unique).second; ++n) unique = base + "_" + std::to_string(n);
  return unique;
}

// The JSON text tinygltf writes for a document (its buffers' bytes left out): it writes a .glb
// to a stream, whose first chunk is the text.
bool SerialiseJson(const tinygltf::Model& gltf, std::string* text, std::string* error) {
  std::ostringstream stream;
  tinygltf::TinyGLTF writer;
  writer.SetImageWriter(nullptr, nullptr);
  try {
    if (!writer.WriteGltfSceneToStream(&gltf, stream, false, true)) {
      *error = "tinygltf did not write the document";
      return false;
    }
  } catch (const std::exception& exception) {
    *error = std::string("writing the document's JSON failed: ") + exception.what();
    return false;
  }
  const std::string glb = stream.str();
  uint32_t length = 0;
  if (glb.size() >= 20) std::memcpy(&length, glb.data() + 12, sizeof length);
  if (glb.size() < 20 || length > glb.size() - 20) {
    *error = "tinygltf wrote no JSON";
    return false;
  }
  *text = glb.substr(20, length);
  return true;
}

// tinygltf writes a perspective camera's zfar even when the file gave none (an infinite
// projection), as 0, which no reader takes: the member goes again.
void DropUnsetFarPlanes(nlohmann::json& json) {
  const auto cameras = json.find("cameras");
  if (cameras == json.end() || !cameras->is_array()) return;
  for (nlohmann::json& camera : *cameras) {
    const auto perspective = camera.find("perspective");
    if (perspective == camera.end() || !perspective->is_object()) continue;
    const auto far = perspective->find("zfar");
    if (far != perspective->end() && far->is_number() && far->get<double>() <= 0.0) perspective->erase(far);
  }
}

}  // namespace

bool WriteAgedGltf(const AgedAsset& asset, const std::string& path, std::string* error) {
  const std::filesystem::path target(path);
  const std::string extension = target.extension().string();
  if (extension != ".glb" && extension != ".gltf") {
    *error = path + ": an exported asset is a .glb or a .gltf file";
    return false;
  }
  const bool binary = extension == ".glb";
  if (asset.model == nullptr || asset.frames == nullptr || asset.frames->size() != asset.model->groups.size()) {
    *error = path + ": nothing to write";
    return false;
  }
  const std::string stem = target.stem().string();
  AgedDocument document;
  std::string why;
  const bool fromSource = asset.model->gltfSource != nullptr && asset.model->gltfSource->document != nullptr;
  const bool built = fromSource ? BuildSourceDocument(asset, &document, &why)
                                                         : BuildModelDocument(asset, stem, &document, &why);
  if (!built) {
    *error = path + " not written: " + why;
    return false;
  }

  tinygltf::Model& gltf = document.gltf;
  const std::filesystem::path folder = target.parent_path();
  std::vector<std::pair<std::string, const std::vector<uint8_t>*>> imageFiles;
  std::set<std::string> usedNames;
  for (size_t i = 0; i < gltf.images.size(); ++i) {
    const std::vector<uint8_t>* bytes = document.imageBytes[i];
    tinygltf::Image& image = gltf.images[i];
    // Not read: left as the source names it; in a .glb, a source image already in the buffer stays there.
    if (bytes == nullptr || (binary && image.bufferView >= 0)) continue;
    if (binary) {
      image.bufferView = document.AddView(bytes->data(), bytes->size(), 0);
      image.uri.clear();
    } else {
      const std::string fileName =
          stem + "_" + ImageFileName(image.name, i, usedNames) + ExtensionOfMime(image.mimeType);
      image.uri = UriOf(fileName);
      image.bufferView = -1;
      imageFiles.emplace_back((folder / fileName).string(), bytes);
    }
  }

  // The buffer's bytes are written by us, beside or after the JSON; tinygltf writes the JSON.
  if (gltf.buffers.empty()) gltf.buffers.emplace_back();
  std::vector<unsigned char> bytes = std::move(gltf.buffers[0].data);
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
  gltf.buffers[0] = tinygltf::Buffer();
  std::string text;
  if (!SerialiseJson(gltf, &text, &why)) {
    *error = path + " not written: " + why;
    return false;
  }
  const std::string binName = stem + ".bin";
  try {
    nlohmann::json json = nlohmann::json::parse(text);
    DropUnsetFarPlanes(json);
    json["buffers"][0]["byteLength"] = bytes.size();
    if (!binary) json["buffers"][0]["uri"] = UriOf(binName);
    text = json.dump(binary ? -1 : 2);
  } catch (const std::exception& exception) {
    *error = path + " not written: tinygltf's JSON did not read back: " + exception.what();
    return false;
  }

  FileSet files;
  files.stop = asset.stop;
  bool written = true;
  if (binary) {
    while (text.size() % 4 != 0) text += ' ';
    if (12 + 8 + text.size() + 8 + bytes.size() > std::numeric_limits<uint32_t>::max()) {
      *error = path + " not written: a .glb holds at most 4 GiB";
      return false;
    }
    const uint32_t length = uint32_t(12 + 8 + text.size() + 8 + bytes.size());
    // The header ("glTF", version 2, length) and the JSON chunk's, the JSON, the binary chunk's
    // header and the buffer; little-endian words.
    const uint32_t header[5] = {Gltf::kGlbMagic, Gltf::kGlbVersion, length, uint32_t(text.size()), Gltf::kGlbJsonChunk};
    const uint32_t binaryHeader[2] = {uint32_t(bytes.size()), Gltf::kGlbBinaryChunk};
    written = files.Write(path, {{header, sizeof header},
                                 {text.data(), text.size()},
                                 {binaryHeader, sizeof binaryHeader},
                                 {bytes.data(), bytes.size()}});
  } else {
    written = files.Write((folder / binName).string(), {{bytes.data(), bytes.size()}});
    for (const auto& [file, image] : imageFiles) written = written && files.Write(file, {{image->data(), image->size()}});
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
