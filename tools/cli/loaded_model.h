#pragma once

#include <memory>
#include <string>

#include "renderlib/kd_tree.h"
#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup_static_mesh.h"

namespace PatinexCli {

// A model loaded the way the program loads one for tracing: the model file (OBJ or glTF), its
// triangle soup and
// a kd-tree of depth 24 with leaves of 16 triangles.
struct LoadedModel {
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoupStaticMesh> soup;
  std::unique_ptr<RenderLib::KdTree> tree;
  double loadSeconds = 0;
  double buildSeconds = 0;
};

// False with a reason naming the file when it cannot be read or holds no triangles.
bool LoadModelForTracing(const std::string& path, LoadedModel& loaded, std::string& error);

}  // namespace PatinexCli
