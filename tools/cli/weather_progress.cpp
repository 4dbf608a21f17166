#include "tools/cli/weather_progress.h"

#include <algorithm>
#include <string>

#include "platform_os/file_system.h"
#include "tools/cli/json_output.h"

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

// One JSON line, whole, so a reader never sees half an event.
void PrintEvent(FILE* out, Json event) {
  const std::string text = event.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

Json Event(const char* name) { return Json{{"schema", kJsonSchema}, {"event", name}}; }

}  // namespace

WeatherProgress::WeatherProgress(FILE* output, ProgressStyle progressStyle, int32_t stepCount, int32_t tons,
                                 int32_t historyStep)
    : out(output),
      style(progressStyle),
      terminal(Platform::IsTerminal(output)),
      steps(stepCount),
      tonsPerStep(tons),
      firstHistoryStep(historyStep),
      start(Clock::now()),
      lastLine(start) {}

void WeatherProgress::Update(int32_t step, int32_t tonsDone) {
  if (style == ProgressStyle::kQuiet) return;
  const Clock::time_point now = Clock::now();
  const double elapsed = std::chrono::duration<double>(now - start).count();
  const double stepShare = tonsPerStep > 0 ? static_cast<double>(tonsDone) / tonsPerStep : 0.0;
  const double tonsSoFar = (static_cast<double>(step) + stepShare) * tonsPerStep;
  const double allTons = static_cast<double>(steps) * tonsPerStep;
  const bool estimable = elapsed > 0.5 && tonsSoFar > 0.0;

  if (style == ProgressStyle::kJson) {
    // A line a second is plenty for a program that follows along, and keeps logs small.
    if (std::chrono::duration<double>(now - lastLine).count() < 1.0) return;
    Json event = Event("progress");
    event["step"] = step + 1;
    event["steps"] = steps;
    event["stepShare"] = JsonNumber(stepShare);
    event["tonsPerSecond"] = estimable ? JsonNumber(tonsSoFar / elapsed) : Json(nullptr);
    event["secondsLeft"] = estimable ? JsonNumber(elapsed * (allTons - tonsSoFar) / tonsSoFar) : Json(nullptr);
    PrintEvent(out, std::move(event));
    lastLine = now;
  } else if (terminal) {
    constexpr int kBarWidth = 24;
    const int filled = std::clamp(static_cast<int>(stepShare * kBarWidth + 0.5), 0, kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::string rate = "-";
    std::string left = "-";
    if (estimable) {
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

void WeatherProgress::StepDone(const Simulation::StepReport& report) {
  if (style == ProgressStyle::kQuiet || report.failure != nullptr) return;  // the run said why as it failed
  const int32_t historyStep = firstHistoryStep + report.step;
  if (style == ProgressStyle::kJson) {
    Json event = Event("step");
    event["step"] = report.step + 1;
    event["steps"] = report.steps;
    event["historyStep"] = historyStep;
    event["tons"] = report.tons;
    event["legs"] = report.legs;
    event["seconds"] = Json{{"trace", JsonNumber(report.traceSeconds)}, {"bake", JsonNumber(report.bakeSeconds)}};
    event["masksSaved"] = report.masksSaved;
    event["masks"] = report.masks;
    PrintEvent(out, std::move(event));
    return;
  }
  // A continued run counts its own steps; the history's number is what export --step takes.
  const std::string history =
      firstHistoryStep > 1 ? " (step " + std::to_string(historyStep) + " of the history)" : std::string();
  char line[320];
  std::snprintf(line, sizeof line, "step %d of %d%s: %u tons, %llu legs, traced in %.2f s, masks in %.2f s%s",
                report.step + 1, report.steps, history.c_str(), report.tons,
                static_cast<unsigned long long>(report.legs), report.traceSeconds, report.bakeSeconds,
                report.masksSaved == report.masks ? "" : " (some masks NOT saved)");
  Line(line);
}

void WeatherProgress::Line(const char* text) {
  if (style == ProgressStyle::kQuiet) return;
  if (style == ProgressStyle::kJson) {
    Json event = Event("message");
    event["text"] = text;
    PrintEvent(out, std::move(event));
    return;
  }
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
