#include <string>
#include <string_view>

#include "renderlib/file_paths.h"
#include "renderlib/obj_loader.h"
#include "renderlib/text_scanner.h"

namespace RenderLib {
namespace {

constexpr size_t kMaxTokenLength = 255;
constexpr size_t kMaxNameLength = Material::kNameCapacity - 1;

Material* FindMaterial(ObjModel& model, std::string_view name) {
  for (MaterialHandle& handle : model.materials) {
    if (handle && name == handle->name) return handle.Get();
  }
  return nullptr;
}

void ReadColour(TextScanner& scanner, Vector3& colour) {
  for (int axis = 0; axis < 3; ++axis) {
    if (!scanner.ReadFloat(colour[axis])) return;
  }
}

}  // namespace

std::string UnreadableFileMessage(const std::string& reason) {
  return reason.rfind("cannot open ", 0) == 0 ? "file not found" : reason;
}

bool LoadMaterialTexture(std::string_view name, std::string_view directory, ImageHandle& handle) {
  ImageHandle image(new RefCountedImage());
  const std::string path =
      !name.empty() && name[0] == '/' ? std::string(name) : AppendPath(std::string(directory), name, '/');
  if (!image->Load(path.c_str())) return false;
  handle = image;
  return true;
}

void LoadMtl(const char* path, ObjModel& model, ErrorList* errors, Textures textures) {
  TextScanner scanner;
  std::string reason;
  if (!scanner.Open(path, &reason)) {
    if (errors != nullptr) errors->push_back(UnreadableFileMessage(reason));
    return;
  }
  const std::string directory = StripFilename(path);

  Material* current = nullptr;
  while (true) {
    std::string_view token = scanner.Token(kMaxTokenLength);
    if (token.empty()) break;
    if (token == "newmtl") current = FindMaterial(model, scanner.LineToken(kMaxNameLength));
    // Until a known material is current, every token is looked at on its own: that is how a
    // "newmtl" is found even in the middle of a line.
    if (current == nullptr) continue;

    if (token == "Ka") {
      ReadColour(scanner, current->ambient);
    } else if (token == "Kd") {
      ReadColour(scanner, current->diffuse);
    } else if (token == "Ks") {
      ReadColour(scanner, current->specular);
    } else if (token == "d") {
      float value;
      if (scanner.ReadFloat(value)) current->opacity = value;
    } else if (token == "Tr") {
      float value;
      if (scanner.ReadFloat(value)) current->opacity = 1.0f - value;
    } else if (token == "Ns") {
      int32_t value;
      if (scanner.ReadInt(value)) current->shininess = value;
    } else if (token == "illum") {
      int32_t value;
      if (scanner.ReadInt(value)) current->specularEnabled = value == 2;
    } else if (token == "map_Ka" || token == "map_Kd" || token == "map_Ks" || token == "norm") {
      // "norm" names a tangent-space normal map, which the material ages and exports as glTF's.
      ImageHandle& map = token == "map_Ka"   ? current->ambientMap
                         : token == "map_Kd" ? current->diffuseMap
                         : token == "map_Ks" ? current->specularMap
                                             : current->normalMap;
      const std::string_view name = scanner.LineToken(kMaxTokenLength);
      if (textures == Textures::kLoad && !name.empty() && !LoadMaterialTexture(name, directory, map) &&
          errors != nullptr) {
        errors->push_back("Unable to load " + std::string(name));
      }
    }
    scanner.SkipLine();
  }
}

}  // namespace RenderLib
