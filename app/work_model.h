#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/graphics_device.h"
#include "renderlib/kd_tree.h"
#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"
#include "threadinglib/critical_lock.h"
#include "viewer/device_mesh.h"
#include "viewer/scene_effects.h"

// A model file read and made into the forms the window works with, not yet in use: reading a new
// model leaves the one in use untouched until the new one is known to be good.
struct ModelForms {
  std::shared_ptr<RenderLib::ObjModel> asRead;
  std::unique_ptr<Viewer::DeviceMesh> deviceMesh;
  std::shared_ptr<RenderLib::TriangleSoup> soup;
  std::shared_ptr<RenderLib::KdTree> kdTree;
  // Why its texture coordinates leave the masks nothing to cover (empty when they are usable),
  // and the warning for coordinates reaching outside the unit square; the file named by its name.
  std::string layoutRefusal;
  std::string tilingWarning;
};

// The model being worked on, in its three forms (device mesh, triangle soup, kd-tree), and as
// read: a device change rebuilds the device mesh from it, keeping the model, its samples and a
// run across the change. A sampling under way shares the traced forms, an export the model as
// read. The application loads and releases it on the window thread; the run reads the soup and
// the tree through its parameter block while it runs.
//
// Its lock guards the four forms; it is taken after the UI lock and before the samples' lock.
class WorkModel {
public:
  // changed is called whenever what the scene draws of the model changes.
  explicit WorkModel(std::function<void()> changed) : changed(std::move(changed)) {}

  // Loads one model file (OBJ or glTF) as device mesh, triangle soup and kd-tree, its materials
  // given the effect's techniques. False with the reason in why (and on stderr) when the file
  // cannot be read, holds no triangles or the device mesh fails; then nothing is loaded.
  bool Load(Platform::GraphicsDevice* device, const std::string& path, Viewer::MeshEffect& effect,
            std::string* why = nullptr);
  // Reads one model file into its forms without touching the model in use; nothing (with the
  // reason in why, and on stderr) when it cannot be read, holds no triangles or the device refuses it.
  static std::optional<ModelForms> Read(Platform::GraphicsDevice* device, const std::string& path,
                                        Viewer::MeshEffect& effect, std::string* why = nullptr);
  // Puts forms read before in place of the model in use.
  void Adopt(ModelForms forms);
  void Release();

  // The device mesh on a new device; its release when the device goes. The model itself stays.
  // False (with why) when the new device refuses the mesh.
  bool RebuildDeviceMesh(Platform::GraphicsDevice* device, Viewer::MeshEffect& effect, std::string* why);
  void ReleaseDeviceMesh();

  const std::shared_ptr<RenderLib::ObjModel>& AsRead() const { return objModel; }
  Viewer::DeviceMesh* DeviceMesh() const { return renderMesh.get(); }
  const std::shared_ptr<RenderLib::TriangleSoup>& Soup() const { return triangleSoup; }
  const std::shared_ptr<RenderLib::KdTree>& KdTree() const { return kdTree; }
  ThreadingLib::CriticalLock& Lock() { return lock; }
  // Of the model in use, as ModelForms has them; window thread.
  const std::string& LayoutRefusal() const { return layoutRefusal; }
  const std::string& TilingWarning() const { return tilingWarning; }

private:
  std::function<void()> changed;
  std::shared_ptr<RenderLib::ObjModel> objModel;
  std::unique_ptr<Viewer::DeviceMesh> renderMesh;
  std::shared_ptr<RenderLib::TriangleSoup> triangleSoup;
  std::shared_ptr<RenderLib::KdTree> kdTree;
  std::string layoutRefusal;
  std::string tilingWarning;
  ThreadingLib::CriticalLock lock;
};
