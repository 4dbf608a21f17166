#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/folder_listing.h"
#include "platform/window.h"
#include "platform/window_event.h"

class Dialog;
class RecentList;

// The file browser behind "Open": walks folders and hands the model file chosen to open, the same
// way a dropped file goes. While shown it takes every key, click and character typed: Up and Down
// move the selection, Enter enters a folder or opens a file (or goes where the path box says
// while it has the focus), Backspace goes up a folder outside the path box, Escape closes it
// without reaching anything else. Window thread.
class FileBrowser {
public:
  // open loads a model file, true when it did; the browser closes then, and stays otherwise.
  FileBrowser(Dialog& panel, const RecentList& recentFolders, std::function<bool(const std::string&)> open)
      : panel(panel), recentFolders(recentFolders), open(std::move(open)) {}

  // Shows the browser in the folder it last showed, else the most recent folder that still
  // exists, else home.
  void Show();
  void Hide();
  bool IsShown() const;
  // The browser's controls report here.
  void OnGuiEvent(uint32_t eventCode, int controlId);
  // True when the browser used the event (every key, click and character while it is shown).
  bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event);

  const std::string& Folder() const { return folder; }
  const std::vector<FolderEntry>& Entries() const { return entries; }

private:
  // Lists folder into the list; one that cannot be read keeps the folder shown and says why.
  bool Enter(const std::string& folder);
  // The list's selected line: ".." goes up, a folder is entered, a model file opened.
  void ActivateSelection();
  // Goes where the path box says: a folder is entered, a model file opened, anything else said.
  void FollowTypedPath();
  void OpenFile(const std::string& path);
  void Say(const std::string& message);
  void FillRecentFolders();
  bool PathBoxFocused() const;

  Dialog& panel;
  const RecentList& recentFolders;
  std::function<bool(const std::string&)> open;
  std::string folder;
  std::vector<FolderEntry> entries;
  // The list's first line is ".." except at the root.
  bool hasParentLine = false;
  // The key that closed the browser, until it is released (0: none): its release and the
  // character it types reach nothing else.
  uint32_t closingKey = 0;
};
