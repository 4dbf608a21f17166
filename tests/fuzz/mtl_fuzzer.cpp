#include <cstdio>
#include <cstdlib>

#include "renderlib/obj_loader.h"
#include "tests/fuzz/fuzz_model_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzModelFolder folder;
  std::string path = folder.Write("input.mtl", std::string(reinterpret_cast<const char*>(data), size));
  // The materials a model's usemtl lines would have made, named like those of the seeds.
  RenderLib::ObjModel model;
  for (const char* name : {"default", "wood", "metal", "Material", "red"}) {
    auto* material = new RenderLib::Material();
    std::snprintf(material->name, sizeof material->name, "%s", name);
    model.materials.emplace_back(material);
  }
  RenderLib::ErrorList messages;
  RenderLib::LoadMtl(path.c_str(), model, &messages);
  for (const std::string& message : messages) {
    if (message.rfind("Unable to load ", 0) != 0) std::abort();
  }
  CheckMaterials(model);
  return 0;
}
