#pragma once

// Frames per second over the last second or so, and its text ("%0.2f fps ").
class FrameStatistics {
public:
  // Counts one frame shown at the given absolute time (seconds).
  void CountFrame(double absoluteTime);
  float FramesPerSecond() const { return framesPerSecond; }
  const char* FrameRateText() const { return text; }

private:
  bool started = false;
  double lastUpdate = 0.0;
  int frames = 0;
  float framesPerSecond = 0.0f;
  char text[64] = "";
};
