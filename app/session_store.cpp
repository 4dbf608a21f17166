#include "app/session_store.h"

#include <algorithm>
#include <cstdio>

#include "simulation/mask_files.h"
#include "simulation/run_record.h"

namespace fs = std::filesystem;

namespace {

// FNV-1a: small, stable across runs and builds, which a key written into folder names needs.
uint32_t PathHash(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

// The session number a folder name stands for, or 0 when it is not one ("07", "x", "-1").
int32_t SessionNumberOf(const std::string& name) {
  if (name.empty() || name.size() > 9 || name[0] == '0') return 0;
  int32_t number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// Whether every mask of the step is there, in every mask space the record names.
bool MasksOfStepThere(const std::string& folder, const Simulation::RunRecord& record, int32_t step) {
  for (int32_t space = 0; space < std::max(record.identity.maskSpaces, 1); ++space) {
    for (const Simulation::MaskChannel channel : Simulation::kMaskChannels) {
      std::error_code code;
      const std::string name =
          Simulation::MaskFileName(folder.c_str(), channel, step, record.identity.maskFormat, space);
      if (!fs::is_regular_file(name, code)) return false;
    }
  }
  return true;
}

SessionListing Describe(const fs::path& folder, int32_t number) {
  SessionListing session;
  session.number = number;
  session.folder = folder.string();
  Simulation::RunRecord record;
  std::string error;
  if (Simulation::ReadRunRecord(session.folder, &record, &error) == Simulation::RecordState::kFound) {
    session.density = record.identity.density;
    while (record.HoldsStep(session.steps) && MasksOfStepThere(session.folder, record, session.steps)) ++session.steps;
    if (!record.steps.empty()) session.tonsPerStep = record.steps.back().tons;
  }
  std::error_code code;
  session.changed = fs::last_write_time(folder, code);
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    const fs::file_time_type written = it->last_write_time(kind);
    if (!kind) session.changed = std::max(session.changed, written);
  }
  return session;
}

}  // namespace

std::string ModelSessionKey(const std::string& modelFile) {
  std::error_code code;
  const fs::path absolute = fs::absolute(modelFile, code).lexically_normal();
  char hash[9];
  std::snprintf(hash, sizeof hash, "%08x", PathHash(code ? modelFile : absolute.string()));
  return fs::path(modelFile).stem().string() + "-" + hash;
}

std::string ModelSessionsFolder(const std::string& maskFolder, const std::string& modelFile) {
  return (fs::path(maskFolder) / "sessions" / ModelSessionKey(modelFile)).string();
}

std::vector<SessionListing> ListSessions(const std::string& maskFolder, const std::string& modelFile) {
  std::vector<SessionListing> sessions;
  std::error_code code;
  for (fs::directory_iterator it(ModelSessionsFolder(maskFolder, modelFile), code), end; !code && it != end;
       it.increment(code)) {
    std::error_code kind;
    const int32_t number = SessionNumberOf(it->path().filename().string());
    if (number > 0 && it->is_directory(kind)) sessions.push_back(Describe(it->path(), number));
  }
  std::sort(sessions.begin(), sessions.end(),
            [](const SessionListing& a, const SessionListing& b) { return a.number < b.number; });
  return sessions;
}

int MostRecentSession(const std::vector<SessionListing>& sessions) {
  int latest = -1;
  for (size_t i = 0; i < sessions.size(); ++i) {
    if (latest < 0 || sessions[i].changed >= sessions[size_t(latest)].changed) latest = int(i);
  }
  return latest;
}

bool MakeNextSession(const std::string& maskFolder, const std::string& modelFile, SessionListing* made,
                     std::string* error) {
  const fs::path parent = ModelSessionsFolder(maskFolder, modelFile);
  std::error_code code;
  fs::create_directories(parent, code);
  if (code) {
    *error = "cannot make " + parent.string() + ": " + code.message();
    return false;
  }
  int32_t number = 1;
  for (const SessionListing& session : ListSessions(maskFolder, modelFile)) number = std::max(number, session.number + 1);
  // create_directory says whether it made the folder: one made meanwhile by another program is
  // never taken for a new one.
  for (int attempt = 0; attempt < 100; ++attempt, ++number) {
    const fs::path folder = parent / std::to_string(number);
    if (fs::create_directory(folder, code)) {
      *made = SessionListing();
      made->number = number;
      made->folder = folder.string();
      made->changed = fs::last_write_time(folder, code);
      return true;
    }
    if (code) {
      *error = "cannot make " + folder.string() + ": " + code.message();
      return false;
    }
  }
  *error = "cannot make a new session folder in " + parent.string() + ": the names are taken";
  return false;
}

bool DeleteSessionFolder(const std::string& folder, std::string* error) {
  std::error_code code;
  std::vector<fs::path> files;
  bool others = false;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    std::error_code kind;
    if (it->is_regular_file(kind) && !it->is_symlink(kind)) files.push_back(it->path());
    else others = true;
  }
  if (code) {
    *error = "cannot read " + folder + ": " + code.message();
    return false;
  }
  // What a run writes are files: anything else was put there by someone, and the session is
  // left whole rather than half deleted.
  if (others) {
    *error = folder + " holds more than a session's files (a folder or a link); nothing was deleted";
    return false;
  }
  for (const fs::path& file : files) {
    if (!fs::remove(file, code) && code) {
      *error = "cannot delete " + file.string() + ": " + code.message();
      return false;
    }
  }
  if (!fs::remove(folder, code) && code) {
    *error = "cannot delete " + folder + ": " + code.message();
    return false;
  }
  return true;
}

std::string SessionLabel(const SessionListing& session) {
  // U+00B7 between the parts, as the picker shows it.
  char text[96];
  std::snprintf(text, sizeof text, "Session %d \xC2\xB7 %d step%s", session.number, session.steps,
                session.steps == 1 ? "" : "s");
  std::string label = text;
  if (session.density > 0) label += " \xC2\xB7 density " + std::to_string(session.density);
  return label;
}
