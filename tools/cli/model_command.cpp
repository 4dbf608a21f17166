#include <cstdio>
#include <string>

#include "tools/cli/command_registry.h"
#include "tools/cli/json_writer.h"
#include "tools/cli/loaded_model.h"

namespace PatinexCli {
namespace {

int RunModel(const Arguments& arguments);
int RunObj(const Arguments& arguments);

constexpr char kModelHelp[] =
    "Loads the model FILE as the program does: a Wavefront OBJ file (.obj) with its MTL library\n"
    "and textures, or a glTF 2.0 file (.gltf with its buffers and images, or .glb). Prints as\n"
    "JSON: the groups (vertexCount, indexCount, materialIndex), the materials (name, ambient,\n"
    "diffuse, specular, opacity, shininess, specularEnabled, the metallic-roughness values\n"
    "metallicRoughness, baseColorFactor, metallicFactor, roughnessFactor, normalScale, and for\n"
    "each map whether an image is present with its width and height), the loader's messages, the\n"
    "bounding box of the triangle soup built from the model, and the totals (vertices, indices,\n"
    "triangles). Exit status 0 when the model loads, 1 when it cannot be loaded (the file and\n"
    "what is wrong with it on stderr): FILE must be a regular file, and its positions finite and\n"
    "within 1e15 of the origin. 2 on a usage error.";

const Command kModelCommand = {"model", "model FILE", kModelHelp, RunModel};
// The command's first name, from the days it read OBJ files only.
const Command kObjCommand = {"obj", "obj FILE", kModelHelp, RunObj};

const CommandRegistration kModelRegistration(kModelCommand);
const CommandRegistration kObjRegistration(kObjCommand);

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
  json.Field("metallicRoughness", material.metallicRoughness);
  json.Key("baseColorFactor");
  json.BeginArray();
  for (float value : material.baseColorFactor) json.Number(value);
  json.EndArray();
  json.Field("metallicFactor", material.metallicFactor);
  json.Field("roughnessFactor", material.roughnessFactor);
  json.Field("normalScale", material.normalScale);
  WriteMap(json, "metallicRoughnessMap", material.metallicRoughnessMap);
  WriteMap(json, "normalMap", material.normalMap);
  json.EndObject();
}

int Summarize(const Command& command, const Arguments& arguments) {
  if (arguments.size() != 1) return UsageError(command, arguments.empty() ? "no FILE given" : "expected one FILE");
  const std::string& path = arguments[0];
  if (!path.empty() && path[0] == '-') return UsageError(command, "unknown option " + path);

  LoadedModel loaded;
  std::string error;
  if (!LoadModelFile(path, RenderLib::Textures::kLoad, loaded, error)) {
    std::fprintf(stderr, "patinex-cli %s: %s\n", command.name, error.c_str());
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

int RunModel(const Arguments& arguments) { return Summarize(kModelCommand, arguments); }
int RunObj(const Arguments& arguments) { return Summarize(kObjCommand, arguments); }

}  // namespace
}  // namespace PatinexCli
