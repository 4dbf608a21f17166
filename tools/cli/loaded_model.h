#pragma once

#include <memory>
#include <string>

#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"

namespace PatinexCli {

// A model as the commands take it: the model file (OBJ or glTF) read as the program reads it, the
// loader's messages (faces it dropped, textures it could not read), its triangle soup and, for
// tracing, a kd-tree of depth 24 with leaves of 16 triangles. Every command that takes a model
// takes it here.
struct LoadedModel {
  std::unique_ptr<RenderLib::ObjModel> model;
  RenderLib::ErrorList messages;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  std::unique_ptr<RenderLib::KdTree> tree;
  double loadSeconds = 0;
  double buildSeconds = 0;
};

// Reads the model file and makes its soup. Only a regular file is read (a FIFO or a device is
// refused at once), and a model with a position that is not finite or absurdly far out
// (position_limits.h) is refused. False with the reason, naming the file, when it cannot be taken.
bool LoadModelFile(const std::string& path, RenderLib::Textures textures, LoadedModel& loaded, std::string& error);

// LoadModelFile, by default without textures (tracing draws nothing), then the kd-tree. False
// with the reason also when the model holds no triangles.
bool LoadModelForTracing(const std::string& path, LoadedModel& loaded, std::string& error,
                         RenderLib::Textures textures = RenderLib::Textures::kSkip);

}  // namespace PatinexCli
