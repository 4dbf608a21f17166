#include <cstdio>
#include <string>

#include "tools/cli/command_registry.h"
#include "tools/cli/json_writer.h"
#include "tools/cli/loaded_model.h"

namespace PatinexCli {
namespace {

int RunObj(const Arguments& arguments);

const Command kObjCommand = {
    "obj",
    "obj FILE",
    "Loads the Wavefront OBJ model FILE with its MTL library and textures as the program does,\n"
    "and prints as JSON: the groups (vertexCount, indexCount, materialIndex), the materials\n"
    "(name, ambient, diffuse, specular, opacity, shininess, specularEnabled, and for each map\n"
    "whether an image is present with its width and height), the loader's messages, the\n"
    "bounding box of the triangle soup built from the model, and the totals (vertices,\n"
    "indices, triangles). Exit status 0 when the model loads, 1 when it cannot be loaded\n"
    "(reason on stderr): FILE must be a regular file, and its positions finite and within 1e15\n"
    "of the origin. 2 on a usage error.",
    RunObj,
};

const CommandRegistration kRegistration(kObjCommand);

void WriteVector(JsonWriter& json, const char* key, const RenderLib::Vector3& v) {
  json.Key(key);
  json.BeginArray();
  json.Number(v.x);
  json.Number(v.y);
  json.Number(v.z);
  json.EndArray();
}

void WriteMap(JsonWriter& json, const char* key, const RenderLib::ImageHandle& map) {
  json.Key(key);
  json.BeginObject();
  json.Field("present", static_cast<bool>(map));
  if (map) {
    json.Field("width", map->width);
    json.Field("height", map->height);
  }
  json.EndObject();
}

void WriteMaterial(JsonWriter& json, const RenderLib::Material& material) {
  json.BeginObject();
  json.Field("name", static_cast<const char*>(material.name));
  WriteVector(json, "ambient", material.ambient);
  WriteVector(json, "diffuse", material.diffuse);
  WriteVector(json, "specular", material.specular);
  json.Field("opacity", material.opacity);
  json.Field("shininess", material.shininess);
  json.Field("specularEnabled", material.specularEnabled);
  WriteMap(json, "ambientMap", material.ambientMap);
  WriteMap(json, "diffuseMap", material.diffuseMap);
  WriteMap(json, "specularMap", material.specularMap);
  json.EndObject();
}

int RunObj(const Arguments& arguments) {
  if (arguments.size() != 1) return UsageError(kObjCommand, arguments.empty() ? "no FILE given" : "expected one FILE");
  const std::string& path = arguments[0];
  if (!path.empty() && path[0] == '-') return UsageError(kObjCommand, "unknown option " + path);

  LoadedModel loaded;
  std::string error;
  if (!LoadModelFile(path, RenderLib::Textures::kLoad, loaded, error)) {
    std::fprintf(stderr, "patinex-cli obj: %s\n", error.c_str());
    return kExitFailure;
  }
  const RenderLib::ObjModel* model = loaded.model.get();
  const RenderLib::TriangleSoup& soup = *loaded.soup;
  const RenderLib::ErrorList& messages = loaded.messages;

  JsonWriter json(stdout);
  json.BeginObject();
  json.Field("file", path);
  json.Key("groups");
  json.BeginArray();
  for (const RenderLib::MeshGroup& group : model->groups) {
    json.BeginObject();
    json.Field("vertexCount", group.vertices.size());
    json.Field("indexCount", group.indices.size());
    json.Field("materialIndex", group.materialIndex);
    json.EndObject();
  }
  json.EndArray();
  json.Key("materials");
  json.BeginArray();
  for (const RenderLib::MaterialHandle& material : model->materials) WriteMaterial(json, *material);
  json.EndArray();
  json.Key("messages");
  json.BeginArray();
  for (const std::string& message : messages) json.String(message);
  json.EndArray();
  RenderLib::BoundingBox box = soup.GetBoundingBox();
  json.Key("boundingBox");
  json.BeginObject();
  WriteVector(json, "min", box.min);
  WriteVector(json, "max", box.max);
  json.EndObject();
  json.Key("totals");
  json.BeginObject();
  json.Field("vertices", soup.GetVertexCount());
  json.Field("indices", soup.GetIndexCount());
  json.Field("triangles", soup.GetIndexCount() / 3);
  json.EndObject();
  json.EndObject();
  json.Finish();
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
