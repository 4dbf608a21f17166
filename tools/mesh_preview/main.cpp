// mesh-preview: one offscreen picture of a model as the program draws it.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tools/mesh_preview/preview_options.h"
#include "tools/mesh_preview/preview_scene.h"

int main(int argc, char** argv) {
  PreviewOptions options;
  std::string error;
  std::vector<std::string> notes;
  if (!ParsePreviewOptions(argc, argv, &options, &notes, &error)) {
    std::fprintf(stderr, "mesh-preview: %s\nRun mesh-preview --help for the options.\n", error.c_str());
    return 2;
  }
  for (const std::string& note : notes) std::fprintf(stderr, "mesh-preview: %s\n", note.c_str());
  if (options.help) {
    std::fputs(kPreviewUsage.c_str(), stdout);
    return 0;
  }
  // Nothing is shown: without a display the picture is drawn off screen all the same.
  Platform::PermitOffScreenWindows();
  if (!RenderPreview(options, &error)) {
    std::fprintf(stderr, "mesh-preview: %s\n", error.c_str());
    return 1;
  }
  std::printf("mesh-preview: wrote %s\n", options.out.c_str());
  return 0;
}
