#include "framework/frame_statistics.h"

#include <cstdio>

void FrameStatistics::CountFrame(double absoluteTime) {
  if (!started) {
    started = true;
    lastUpdate = absoluteTime;
  }
  ++frames;
  const double passed = absoluteTime - lastUpdate;
  if (passed > 1.0) {
    framesPerSecond = static_cast<float>(frames / passed);
    std::snprintf(text, sizeof text, "%0.2f fps ", framesPerSecond);
    frames = 0;
    lastUpdate = absoluteTime;
  }
}
