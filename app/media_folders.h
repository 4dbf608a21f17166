#pragma once

#include <string>

// Where the shipped media were found (empty: nowhere) and where masks are written and read
// (empty: nowhere, for the reason given). Settled at start-up by the application, read by the
// objects that load media or masks. The session folder, under the mask folder, is the one whose
// masks the views show, the export reads and a run writes (empty: none yet); the window's
// sessions (WindowSessions) set it.
struct MediaFolders {
  std::string media;
  std::string masks;
  std::string masksProblem;
  std::string session;
};
