#pragma once

// A shipped model loaded the way the program traces it, for the benchmarks that need one.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/sample_map_builder.h"
#include "simulation/simulation_params.h"

namespace Bench {

// The OBJ model, its triangle soup, its kd-tree (depth 24, leaves of 16) and its samples.
struct SampledModel {
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
  Simulation::SampleMapBuild samples;
};

// Loads media/NAME.obj into `into` and samples it at the density; ends the program with a
// message naming `program` when the file cannot be loaded.
inline void LoadSampledModel(const std::string& name, int32_t density, const char* program, SampledModel& into) {
  into.model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/" + name + ".obj").c_str());
  if (!into.model) {
    std::fprintf(stderr, "%s: cannot load %s\n", program, name.c_str());
    std::exit(1);
  }
  into.soup = std::make_unique<RenderLib::TriangleSoup>(*into.model);
  into.tree.Build(*into.soup, 24, 16);
  into.samples = Simulation::BuildSampleMap(into.tree, *into.soup, density);
}

// A step's parameters on the model, as the run sets them.
inline Simulation::SimulationParams StepParams(SampledModel& m, Simulation::PatinexProcess& process,
                                              int32_t tonsPerStep, int32_t density) {
  Simulation::SimulationParams params;
  params.kdTree = &m.tree;
  params.mesh = m.soup.get();
  params.sampleMap = m.samples.map.get();
  params.tonsPerStep = tonsPerStep;
  params.sampleSpacing = m.samples.spacing;
  params.process = &process;
  params.density = density;
  return params;
}

// One T per model name, made by prepare(name, model) the first time it is asked for, so that
// the benchmarks of one program share the loading.
template <class T, class Prepare>
T& CachedModel(const std::string& name, Prepare prepare) {
  static std::map<std::string, std::unique_ptr<T>> models;
  std::unique_ptr<T>& slot = models[name];
  if (!slot) {
    slot = std::make_unique<T>();
    prepare(name, *slot);
  }
  return *slot;
}

}  // namespace Bench
