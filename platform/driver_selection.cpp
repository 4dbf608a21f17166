#include <cstdlib>

#include "platform/graphics_device.h"

namespace Platform {

const char* DriverTypeName(DriverType type) {
  switch (type) {
    case DriverType::Hardware:
      return "Hardware";
    case DriverType::Reference:
      return "Reference";
    case DriverType::Warp:
      return "Warp";
  }
  return "Unknown";
}

// Mesa reads these when a display is opened: softpipe is its plain, exact software rasteriser,
// llvmpipe the fast one.
void SelectDriver(DriverType type) {
  switch (type) {
    case DriverType::Hardware:
      unsetenv("GALLIUM_DRIVER");
      unsetenv("LIBGL_ALWAYS_SOFTWARE");
      break;
    case DriverType::Reference:
      setenv("GALLIUM_DRIVER", "softpipe", 1);
      setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
      break;
    case DriverType::Warp:
      setenv("GALLIUM_DRIVER", "llvmpipe", 1);
      setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
      break;
  }
}

}  // namespace Platform
