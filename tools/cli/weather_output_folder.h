#pragma once

#include <cstdint>
#include <string>

#include "platform_os/folder_lock.h"
#include "platform_os/interrupt_catcher.h"
#include "renderlib/triangle_soup.h"
#include "simulation/session_file.h"
#include "tools/cli/weather_options.h"

namespace PatinexCli {

// Takes the output folder for this run; false, with why in error, when it cannot be had (or a
// signal came while waiting for it).
bool LockOutputFolder(const WeatherOptions& options, const Platform::InterruptCatcher& interrupts,
                      Platform::FolderLock& lock, std::string* error);

// A run starts a history of its own at step 0: the masks an earlier run left in the folder (and
// its record) are moved into earlier/<time>/, so that the folder never holds steps of two
// histories. False, with why, when they cannot be moved.
bool MoveEarlierHistoryAside(const WeatherOptions& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                             std::string* movedTo, std::string* error);

// Takes the session in the output folder for a run that continues it: what it holds decides
// what was not given, and what was given must agree with it. False, with why, when it cannot be
// continued by this model and these options.
bool TakeSession(WeatherOptions& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                 Simulation::SessionState* session, std::string* error);

}  // namespace PatinexCli
