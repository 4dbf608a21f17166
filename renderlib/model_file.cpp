#include "renderlib/model_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform_os/file_system.h"
#include "renderlib/gltf_loader.h"

namespace RenderLib {
namespace {

enum class ModelFormat { None, Obj, Gltf };

ModelFormat FormatOf(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) return ModelFormat::None;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "obj") return ModelFormat::Obj;
  if (extension == "gltf" || extension == "glb") return ModelFormat::Gltf;
  return ModelFormat::None;
}

}  // namespace

bool IsModelFileName(const std::string& path) { return FormatOf(path) != ModelFormat::None; }

std::unique_ptr<ObjModel> LoadModelFile(const std::string& path, ErrorList* notes, std::string& failure,
                                        Textures textures) {
  const ModelFormat format = FormatOf(path);
  if (format == ModelFormat::None) {
    failure = path + ": not a model file Patinex reads (.obj, .gltf or .glb)";
    return nullptr;
  }
  std::string unreadable;
  if (!Platform::IsReadableRegularFile(path, &unreadable)) {
    failure = unreadable;
    return nullptr;
  }
  ErrorList messages;
  std::unique_ptr<ObjModel> model =
      format == ModelFormat::Gltf ? LoadGltf(path.c_str(), &messages, textures) : LoadObj(path.c_str(), &messages, textures);
  if (!model) {
    // The glTF reader names the file itself; the OBJ reader's messages do not.
    const std::string reason = messages.empty() ? "the file cannot be read" : messages.back();
    failure = format == ModelFormat::Gltf ? reason : path + ": " + reason;
    return nullptr;
  }
  if (notes != nullptr) notes->insert(notes->end(), messages.begin(), messages.end());
  return model;
}

}  // namespace RenderLib
