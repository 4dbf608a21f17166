#include "tools/cli/weather_output_folder.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "simulation/emission_source.h"
#include "simulation/run_record.h"
#include "tools/cli/source_option.h"

namespace PatinexCli {

bool LockOutputFolder(const WeatherOptions& options, const Platform::InterruptCatcher& interrupts,
                      Platform::FolderLock& lock, std::string* error) {
  bool told = false;
  while (true) {
    int64_t holder = 0;
    switch (lock.TryTake(options.out, &holder, error)) {
      case Platform::FolderLock::Result::kTaken:
        return true;
      case Platform::FolderLock::Result::kFailed:
        return false;
      case Platform::FolderLock::Result::kHeld:
        break;
    }
    const std::string who = holder > 0 ? "process " + std::to_string(holder) : "another process";
    if (!options.wait) {
      *error = options.out + " is in use by another weathering run (" + who +
               "); wait until it ends, or run with --wait to wait for it";
      return false;
    }
    if (!told) {
      std::fprintf(stderr, "patinex-cli weather: waiting for %s, which is writing into %s\n", who.c_str(),
                   options.out.c_str());
      told = true;
    }
    if (interrupts.Requested()) {
      *error = "interrupted while waiting for " + who;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

bool MoveEarlierHistoryAside(const WeatherOptions& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                             std::string* movedTo, std::string* error) {
  Simulation::HistoryIdentity mine;
  mine.modelName = std::filesystem::path(options.model).filename().string();
  mine.modelChecksum = Simulation::ModelChecksum(soup);
  mine.maskWidth = mine.maskHeight = static_cast<uint32_t>(options.size);
  mine.maskFormat = options.format;
  mine.density = static_cast<int32_t>(options.density);
  mine.maskSpaces = spaceCount;
  std::string why = Simulation::HistoryDifference(options.out, mine);
  if (why.empty()) why = "an earlier run of the same model, mask size and density; this run starts from step 0";
  std::string moveError;
  if (!Simulation::MoveHistoryAside(options.out, movedTo, &moveError)) {
    *error = "the masks of an earlier run in " + options.out + " (" + why + ") could not be moved aside: " + moveError;
    return false;
  }
  if (!movedTo->empty()) {
    std::fprintf(stderr, "patinex-cli weather: %s held the masks of another history, %s; they were moved to %s\n",
                 options.out.c_str(), why.c_str(), movedTo->c_str());
  }
  return true;
}

bool TakeSession(WeatherOptions& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                 Simulation::SessionState* session, std::string* error) {
  std::string why;
  switch (Simulation::ReadSessionFile(options.out, session, &why)) {
    case Simulation::SessionLoad::kNone:
      *error = "cannot resume: " + options.out + " holds no session to continue (" + Simulation::kSessionName +
               "); a run without --resume starts one";
      return false;
    case Simulation::SessionLoad::kUnreadable:
      *error = "cannot resume: " + why;
      return false;
    case Simulation::SessionLoad::kFound:
      break;
  }
  const Simulation::HistoryIdentity& kept = session->identity;
  Simulation::HistoryIdentity mine;
  mine.modelName = std::filesystem::path(options.model).filename().string();
  mine.modelChecksum = Simulation::ModelChecksum(soup);
  mine.maskWidth = options.sizeGiven ? static_cast<uint32_t>(options.size) : kept.maskWidth;
  mine.maskHeight = options.sizeGiven ? static_cast<uint32_t>(options.size) : kept.maskHeight;
  mine.maskFormat = options.formatGiven ? options.format : kept.maskFormat;
  mine.density = options.densityGiven ? static_cast<int32_t>(options.density) : kept.density;
  mine.maskSpaces = spaceCount;
  if (const std::string difference = mine.Difference(kept); !difference.empty()) {
    *error = "cannot resume the session in " + options.out + ": it holds " + difference;
    return false;
  }
  options.size = kept.maskWidth;
  options.format = kept.maskFormat;
  options.density = kept.density;
  if (!options.tonsGiven) options.tons = session->tonsPerStep;
  if (!options.seedGiven && session->seeded) options.seed = session->seed;
  if (session->deterministic) options.deterministic = true;
  // A history's weather comes from one side: a continuation given another is refused rather
  // than mixing two sources in one set of emission points.
  const Simulation::EmissionSource& saved = session->source;
  Simulation::EmissionSource asked = saved;
  if (options.fromGiven) asked.towards = options.source.towards;
  if (options.spreadGiven) asked.spreadDegrees = options.source.spreadDegrees;
  if (!Simulation::SameSource(asked, saved)) {
    char spread[32];
    std::snprintf(spread, sizeof spread, "%g", double(saved.spreadDegrees));
    *error = "cannot resume the session in " + options.out + ": its weather comes from " +
             DirectionText(saved.towards) + " with a spread of " + spread +
             " degrees; leave out --from and --spread to continue it";
    return false;
  }
  options.source = saved;
  return true;
}

}  // namespace PatinexCli
