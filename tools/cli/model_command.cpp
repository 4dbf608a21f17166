#include <cstdio>
#include <string>

#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/loaded_model.h"

namespace PatinexCli {
namespace {

int RunModel(const Arguments& arguments);
int RunObj(const Arguments& arguments);

constexpr char kModelHelp[] =
    "Loads the model FILE as the program does: a Wavefront OBJ file (.obj) with its MTL library\n"
    "and textures, or a glTF 2.0 file (.gltf with its buffers and images, or .glb). Prints as\n"
    "JSON (after \"schema\", \"command\" and \"model\", the file as given): the groups (vertexCount, indexCount, materialIndex), the materials (name, ambient,\n"
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

Json Vector(const RenderLib::Vector3& v) {
  return Json::array({JsonNumber(v.x), JsonNumber(v.y), JsonNumber(v.z)});
}

// A map the material lacks keeps its keys, null, as every document says what is absent.
Json Map(const RenderLib::ImageHandle& map) {
  return Json{{"present", static_cast<bool>(map)},
              {"width", map ? Json(map->width) : Json(nullptr)},
              {"height", map ? Json(map->height) : Json(nullptr)}};
}

Json MaterialJson(const RenderLib::Material& material) {
  Json baseColorFactor = Json::array();
  for (float value : material.baseColorFactor) baseColorFactor.push_back(JsonNumber(value));
  return Json{{"name", static_cast<const char*>(material.name)},
              {"ambient", Vector(material.ambient)},
              {"diffuse", Vector(material.diffuse)},
              {"specular", Vector(material.specular)},
              {"opacity", JsonNumber(material.opacity)},
              {"shininess", material.shininess},
              {"specularEnabled", material.specularEnabled},
              {"ambientMap", Map(material.ambientMap)},
              {"diffuseMap", Map(material.diffuseMap)},
              {"specularMap", Map(material.specularMap)},
              {"metallicRoughness", material.metallicRoughness},
              {"baseColorFactor", baseColorFactor},
              {"metallicFactor", JsonNumber(material.metallicFactor)},
              {"roughnessFactor", JsonNumber(material.roughnessFactor)},
              {"normalScale", JsonNumber(material.normalScale)},
              {"metallicRoughnessMap", Map(material.metallicRoughnessMap)},
              {"normalMap", Map(material.normalMap)}};
}

int Summarize(const Command& command, const Arguments& arguments) {
  if (arguments.size() != 1) return UsageError(command, arguments.empty() ? "no FILE given" : "expected one FILE");
  const std::string& path = arguments[0];
  if (!path.empty() && path[0] == '-') return UsageError(command, "unknown option " + path);

  LoadedModel loaded;
  std::string error;
  if (!LoadModelFile(path, RenderLib::Textures::kLoad, loaded, error)) return CommandFailure(kModelCommand.name, error);
  const RenderLib::ObjModel* model = loaded.model.get();
  const RenderLib::TriangleSoup& soup = *loaded.soup;
  const RenderLib::ErrorList& messages = loaded.messages;

  Json groups = Json::array();
  for (const RenderLib::MeshGroup& group : model->groups) {
    groups.push_back(Json{{"vertexCount", group.vertices.size()},
                          {"indexCount", group.indices.size()},
                          {"materialIndex", group.materialIndex}});
  }
  Json materials = Json::array();
  for (const RenderLib::MaterialHandle& material : model->materials) materials.push_back(MaterialJson(*material));
  const RenderLib::BoundingBox box = soup.GetBoundingBox();
  // "obj" is the same command under its first name, and documents it as what it is now.
  Json document = JsonDocument(kModelCommand.name);
  document["model"] = path;
  document["groups"] = groups;
  document["materials"] = materials;
  document["messages"] = Json(messages);
  document["boundingBox"] = Json{{"min", Vector(box.min)}, {"max", Vector(box.max)}};
  document["totals"] = Json{{"vertices", soup.GetVertexCount()},
                            {"indices", soup.GetIndexCount()},
                            {"triangles", soup.GetIndexCount() / 3}};
  PrintJson(document);
  return kExitSuccess;
}

int RunModel(const Arguments& arguments) { return Summarize(kModelCommand, arguments); }
int RunObj(const Arguments& arguments) { return Summarize(kObjCommand, arguments); }

}  // namespace
}  // namespace PatinexCli
