#include "tools/cli/weather_progress.h"

#include <algorithm>
#include <string>

#include "platform_os/file_system.h"

namespace PatinexCli {
namespace {

// "1:02:03" or "2:03".
std::string Duration(double seconds) {
  const long total = static_cast<long>(std::max(0.0, seconds) + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

}  // namespace

WeatherProgress::WeatherProgress(FILE* output, int32_t stepCount, int32_t tons)
    : out(output),
      terminal(Platform::IsTerminal(output)),
      steps(stepCount),
      tonsPerStep(tons),
      start(Clock::now()),
      lastLine(start) {}

void WeatherProgress::Update(int32_t step, int32_t tonsDone) {
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - start).count();
  const double stepShare = tonsPerStep > 0 ? static_cast<double>(tonsDone) / tonsPerStep : 0.0;
  const double tonsSoFar = (static_cast<double>(step) + stepShare) * tonsPerStep;
  const double allTons = static_cast<double>(steps) * tonsPerStep;

  if (terminal) {
    constexpr int kBarWidth = 24;
    const int filled = std::clamp(static_cast<int>(stepShare * kBarWidth + 0.5), 0, kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::string rate = "-";
    std::string left = "-";
    if (elapsed > 0.5 && tonsSoFar > 0.0) {
      rate = std::to_string(static_cast<long long>(tonsSoFar / elapsed)) + " tons/s";
      left = Duration(elapsed * (allTons - tonsSoFar) / tonsSoFar) + " left";
    }
    std::fprintf(out, "\r\x1b[Kstep %d of %d [%s] %5.1f%%  %s  %s", step + 1, steps, bar.c_str(), stepShare * 100.0,
                 rate.c_str(), left.c_str());
    std::fflush(out);
    barShown = true;
  } else if (std::chrono::duration<double>(now - lastLine).count() >= 5.0) {
    std::fprintf(out, "step %d of %d: %.1f%% traced\n", step + 1, steps, stepShare * 100.0);
    std::fflush(out);
    lastLine = now;
  }
}

void WeatherProgress::Line(const char* text) {
  ClearBar();
  std::fprintf(out, "%s\n", text);
  std::fflush(out);
  lastLine = Clock::now();
}

void WeatherProgress::Finish() { ClearBar(); }

void WeatherProgress::ClearBar() {
  if (!barShown) return;
  std::fputs("\r\x1b[K", out);
  barShown = false;
}

}  // namespace PatinexCli
