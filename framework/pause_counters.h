#pragma once

// Counts the reasons time and rendering are paused (the pause key, a minimised window, a device
// change): each stays paused until every reason has gone.
class PauseCounters {
public:
  // Adds a reason to each counter whose argument is true, removes one from each whose argument is
  // false; a counter never goes below zero.
  void Pause(bool pauseTime, bool pauseRendering);
  bool TimePaused() const { return timeCount > 0; }
  bool RenderingPaused() const { return renderingCount > 0; }

private:
  int timeCount = 0;
  int renderingCount = 0;
};
