#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/scene_picture.h"
#include "app/source_arrow.h"
#include "assetexport/look.h"
#include "framework/model_viewer_camera.h"
#include "platform/graphics_device.h"
#include "simulation/mask_spaces.h"
#include "viewer/environment_background.h"
#include "viewer/environment_light.h"
#include "viewer/scene_effects.h"

class MaskHistory;
class SurfaceSamples;
class WindowPanels;
class WorkModel;
struct MediaFolders;

// How the scene is shown: the camera, the effects and the mask views they draw with, which view
// the view picker shows (a model view or the sample points), and the picture of the scene as
// last drawn. Window thread; the application changes it on input and device changes, the run
// and the mask history through LoadMaskViews and ReleaseMaskViews.
class SceneView {
public:
  SceneView(WorkModel& model, SurfaceSamples& samples, MaskHistory& history, WindowPanels& panels,
            const MediaFolders& folders)
      : model(model), samples(samples), history(history), panels(panels), folders(folders) {}

  // The mesh effect (drawmesh.fx) with its four textures and the point effect (drawparticles.fx),
  // from the media folder. A failed load leaves that effect unloaded, says why on stderr, and
  // nothing is drawn with it.
  // Also loads the picked environment and what draws it as a background.
  void LoadEffects(Platform::GraphicsDevice* device);
  // Releases both effects, their textures and layouts, the picture and the mask views.
  void ReleaseResources();
  // The camera's projection and its arc balls for a back buffer of width × height: the model, as
  // seen from the framing camera, whole and centred in the part of the window the panels leave
  // free (see Viewer::FramingProjection); the far plane twice the eye's distance from the look-at
  // point. Render calls it again whenever the panels leave another part free.
  void FitCameraToBackBuffer(uint32_t width, uint32_t height);
  // Turns the camera back to the loaded model's front, framed as above, and places the lights of
  // both effects around it; nothing without a model. Home (or F) frames it so again.
  void FrameLoadedModel();
  // The largest part of a width × height window that none of the panels covers.
  Viewer::PixelRect FreeArea(uint32_t width, uint32_t height);

  // Anything that changes what the scene shows besides the camera, the view, the strength
  // sliders and the back buffer's size (the model, the points' contents, the masks, the effects)
  // calls this, so that the kept picture of the scene is drawn again.
  void MarkChanged() { ++version; }
  // Clears to grey, draws the model or the sample points into the scene's picture unless it
  // shows them already, copies it, then draws the three panels (or the settings dialog alone).
  // runKept: a run changes the samples, so only the points' CPU copy is drawn.
  void Render(Platform::GraphicsDevice* device, float elapsedSeconds, bool runKept);
  // A strength slider's value as the effect takes it: 0..100 becomes 0..1.
  float StrengthFactor(int sliderId) const;

  // The masks of a step of the history, from the mask folder, one rust and one dirt mask a mask
  // space of the model, and a humidity mask when the look reads it; a step the history does not
  // hold leaves the views empty.
  void LoadMaskViews(int32_t step);
  void ReleaseMaskViews();
  // Reloads the masks of the step slider's step half a second from now, after the slider settles.
  void ReloadMasksSoon() { maskReloadCountdown = 0.5f; }
  // Counts the reload down; loads the masks once it is due.
  void CountDownMaskReload(float elapsedSeconds);
  float MaskReloadCountdown() const { return maskReloadCountdown; }

  // Shows the sample points instead of the model, or the model in the view last picked; the view
  // picker follows, so it always names what is drawn.
  void ShowSamplePoints(bool show);
  // Takes the view picker's choice; true when it asks for points there are no samples for yet.
  bool PickView();
  bool ShowsSamples() const { return showSamples != 0; }
  // The environment picker's choice (an index of Viewer::ShippedEnvironments) lights the model
  // from now on; one that does not load leaves the light as it was and says why on stderr.
  void SetEnvironment(int index);
  // The Background box: the environment drawn behind the model in the Shaded view, else grey.
  void ShowBackground(bool show);
  // The look the Shaded view shows from now on, kept across device changes. A look that reads
  // the humidity mask has it loaded with the others. A texture of it that does not load is left
  // out (the look shows without it) and named on stderr.
  void ShowLook(const AssetExport::Look& look);
  const AssetExport::Look& ShownLook() const { return look; }

  CModelViewerCamera& Camera() { return camera; }
  const ScenePicture& Picture() const { return scenePicture; }
  Viewer::MeshEffect& MeshEffect() { return meshEffect; }
  // A mask space's masks of the step shown (null where it has none).
  const Platform::ShaderResourceView* RustMaskView(int32_t space = 0) const { return MaskIn(rustMasks, space); }
  const Platform::ShaderResourceView* DirtMaskView(int32_t space = 0) const { return MaskIn(dirtMasks, space); }
  const Platform::ShaderResourceView* HumidityMaskView(int32_t space = 0) const { return MaskIn(humidityMasks, space); }

private:
  void LoadEnvironment();
  bool DrawScene(Platform::GraphicsDevice& device, const Viewer::CameraMatrices& camera, int view,
                 ScenePicture* picture);

  WorkModel& model;
  SurfaceSamples& samples;
  MaskHistory& history;
  WindowPanels& panels;
  const MediaFolders& folders;

  CModelViewerCamera camera;
  Viewer::MeshEffect meshEffect;
  Viewer::PointEffect pointEffect;
  SourceArrow sourceArrow;
  // One view a mask space, owned beside the plain pointers the effect takes each frame.
  struct SpaceMasks {
    std::vector<std::unique_ptr<Platform::ShaderResourceView>> owned;
    std::vector<Platform::ShaderResourceView*> views;
  };
  static const Platform::ShaderResourceView* MaskIn(const SpaceMasks& masks, int32_t space) {
    return space >= 0 && size_t(space) < masks.views.size() ? masks.views[size_t(space)] : nullptr;
  }
  SpaceMasks rustMasks;
  SpaceMasks dirtMasks;
  SpaceMasks humidityMasks;  // only while the look reads them
  int32_t maskStep = -1;     // the step whose masks are loaded
  AssetExport::Look look = AssetExport::BronzeLook();
  // The model's mask spaces, worked out once for the model they were worked out for.
  Simulation::MaskSpaces maskSpaces;
  std::weak_ptr<const RenderLib::ObjModel> maskSpacesOf;
  ScenePicture scenePicture;
  uint64_t version = 0;
  int32_t showSamples = 0;
  int meshView = 0;  // the view picker's model view (Shaded, Dirt, Rust) to go back to from Points
  float maskReloadCountdown = -1.0f;
  // What the projection was last fitted to: the window's size and its free part.
  uint32_t fittedWidth = 0;
  uint32_t fittedHeight = 0;
  Viewer::PixelRect fittedFree;
  Platform::GraphicsDevice* device = nullptr;  // while the effects are loaded
  Viewer::EnvironmentLight environmentLight;
  Viewer::EnvironmentBackground background;
  int environment = 0;
  bool backgroundShown = true;
};
