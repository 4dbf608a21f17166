#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A model's sessions on disk: <mask folder>/sessions/<model key>/<n>/, each folder what
// `patinex-cli weather MODEL --out FOLDER` writes (masks, run record, session file), so the
// window and the command line continue each other's sessions. The model key keeps two files of
// one name in different folders apart. Nothing here runs on its own thread.

// One session as its files describe it.
struct SessionListing {
  int32_t number = 0;
  std::string folder;
  // The steps 1..steps whose masks the run record lists as saved and that are all there, without
  // a gap; 0 without a readable record.
  int32_t steps = 0;
  int32_t density = 0;      // the record's; 0 when it has none
  int32_t tonsPerStep = 0;  // of its last step; 0 when none is recorded
  std::filesystem::file_time_type changed{};  // the newest of the folder's files
};

// The model file's stem and 8 hex digits of a hash of its absolute path ("statue-1f2e3d4c").
std::string ModelSessionKey(const std::string& modelFile);
// <mask folder>/sessions/<model key>.
std::string ModelSessionsFolder(const std::string& maskFolder, const std::string& modelFile);

// The model's sessions in the order of their numbers; none when it has no sessions folder.
std::vector<SessionListing> ListSessions(const std::string& maskFolder, const std::string& modelFile);
// The index of the session changed last (the highest number among equals), -1 for none.
int MostRecentSession(const std::vector<SessionListing>& sessions);

// Makes the folder of the model's next session (one past the highest number there is). False,
// with what failed and why, when it cannot be made.
bool MakeNextSession(const std::string& maskFolder, const std::string& modelFile, SessionListing* made,
                     std::string* error);

// Deletes a session's folder: its regular files, then the folder itself. A folder holding anything
// else (a folder, a link) is left as it is, with why in error.
bool DeleteSessionFolder(const std::string& folder, std::string* error);

// "Session 2 · 6 steps · density 100", as the session picker lists it.
std::string SessionLabel(const SessionListing& session);
