#include "app/file_browser.h"

#include <cstdlib>
#include <filesystem>

#include "app/control_ids.h"
#include "app/recent_list.h"
#include "app/status_line.h"
#include "app/typed_path.h"
#include "framework/dialog.h"
#include "framework/framework.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_list_box.h"
#include "framework/ui_static.h"

namespace fs = std::filesystem;

namespace {

std::string Home() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] == '/' ? home : "/";
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

}  // namespace

bool FileBrowser::IsShown() const { return panel.IsVisible(); }

void FileBrowser::Show() {
  std::vector<std::string> candidates{folder};
  candidates.insert(candidates.end(), recentFolders.Entries().begin(), recentFolders.Entries().end());
  std::string start = Home();
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && IsFolder(candidate)) {
      start = candidate;
      break;
    }
  }
  FillRecentFolders();
  panel.SetVisible(true);
  if (!Enter(start) && start != Home()) Enter(Home());
  // The list has the focus: the arrows, Enter and Backspace walk the folders at once.
  panel.RequestFocus(panel.GetListBox(ID_BROWSER_LIST));
  FrameworkRequestFrame();
}

void FileBrowser::Hide() {
  Dialog::ClearFocus();
  panel.SetVisible(false);
  FrameworkRequestFrame();
}

void FileBrowser::FillRecentFolders() {
  CUIComboBox* recent = panel.GetComboBox(ID_BROWSER_RECENT);
  if (recent == nullptr) return;
  recent->RemoveAllItems();
  // The first line only names the list: every folder below it is a choice, the newest included.
  recent->AddItem("Recent folders", nullptr);
  for (const std::string& path : recentFolders.Existing()) recent->AddItem(ShownFolder(path), nullptr);
  recent->SetEnabled(recent->GetNumItems() > 1);
}

bool FileBrowser::Enter(const std::string& target) {
  std::vector<FolderEntry> listed;
  std::string why;
  if (!ListModelFolder(target, &listed, &why)) {
    Say(AsSentence(why));
    return false;
  }
  const std::string left = folder;
  folder = target;
  entries = std::move(listed);
  hasParentLine = ParentFolder(folder) != folder;
  if (CUIEditBox* path = panel.GetEditBox(ID_BROWSER_PATH)) path->SetText(folder);
  if (CUIListBox* list = panel.GetListBox(ID_BROWSER_LIST)) {
    list->RemoveAllItems();
    if (hasParentLine) list->AddItem("..");
    for (const FolderEntry& entry : entries) list->AddItem(entry.isFolder ? entry.name + "/" : entry.name);
    // Going up selects the folder just left, so going back down is one Enter away.
    int selected = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].isFolder && ParentFolder(left) == folder && fs::path(left).filename() == entries[i].name) {
        selected = int(i) + (hasParentLine ? 1 : 0);
      }
    }
    list->SetSelectedIndex(selected);
  }
  Say(entries.empty() ? "No folders or models (OBJ, glTF) here." : "");
  return true;
}

void FileBrowser::Say(const std::string& message) {
  if (CUIStatic* line = panel.GetStatic(ID_BROWSER_MESSAGE)) line->SetText(message);
  FrameworkRequestFrame();
}

void FileBrowser::ActivateSelection() {
  const CUIListBox* list = panel.GetListBox(ID_BROWSER_LIST);
  const int selected = list != nullptr ? list->GetSelectedIndex() : -1;
  if (selected < 0) return;
  if (hasParentLine && selected == 0) {
    Enter(ParentFolder(folder));
    return;
  }
  const FolderEntry& entry = entries[size_t(selected - (hasParentLine ? 1 : 0))];
  const std::string path = (fs::path(folder) / entry.name).string();
  if (entry.isFolder) {
    Enter(path);
  } else {
    OpenFile(path);
  }
}

void FileBrowser::FollowTypedPath() {
  const CUIEditBox* box = panel.GetEditBox(ID_BROWSER_PATH);
  if (box == nullptr) return;
  const TypedPath typed = ResolveTypedPath(box->GetText(), folder, Home());
  switch (typed.kind) {
    case TypedPathKind::Empty: break;
    case TypedPathKind::Folder:
      // The list takes over: the arrows and Enter go on from the folder typed.
      if (Enter(typed.path)) panel.RequestFocus(panel.GetListBox(ID_BROWSER_LIST));
      break;
    case TypedPathKind::ModelFile: OpenFile(typed.path); break;
    case TypedPathKind::OtherFile: Say(fs::path(typed.path).filename().string() + " is no OBJ or glTF model."); break;
    case TypedPathKind::Missing: Say("There is no " + ShownFolder(typed.path) + "."); break;
  }
}

void FileBrowser::OpenFile(const std::string& path) {
  if (open(path)) {
    Hide();
    return;
  }
  Say("Cannot read " + fs::path(path).filename().string() + ": the status line says why.");
}

bool FileBrowser::PathBoxFocused() const {
  const CUIControl* focused = Dialog::FocusedControl();
  return focused != nullptr && focused->GetID() == ID_BROWSER_PATH && focused->GetHost() == &panel;
}

void FileBrowser::OnGuiEvent(uint32_t eventCode, int controlId) {
  switch (controlId) {
    case ID_BROWSER_PARENT: Enter(ParentFolder(folder)); break;
    case ID_BROWSER_LIST:
      if (eventCode == kEventListBoxItemActivated) ActivateSelection();
      break;
    case ID_BROWSER_RECENT:
      if (CUIComboBox* recent = panel.GetComboBox(ID_BROWSER_RECENT); recent != nullptr && !recent->IsOpened()) {
        const std::vector<std::string> existing = recentFolders.Existing();
        const int chosen = recent->GetSelectedIndex() - 1;
        // Back to the list's name, which changes nothing when reported (the list is not filled
        // anew: a folder that vanished meanwhile is said when chosen).
        recent->SetSelectedByIndex(0);
        if (chosen >= 0 && chosen < int(existing.size())) Enter(existing[size_t(chosen)]);
      }
      break;
    case ID_BROWSER_OPEN:
      if (PathBoxFocused()) {
        FollowTypedPath();
      } else {
        ActivateSelection();
      }
      break;
    case ID_BROWSER_CANCEL: Hide(); break;
    default: break;
  }
}

bool FileBrowser::HandleEvent(Platform::Window* window, const Platform::WindowEvent& event) {
  using Platform::EventType;
  if (closingKey != 0) {
    if (event.type == EventType::Text) return true;
    if (event.type == EventType::KeyUp && event.key == closingKey) {
      closingKey = 0;
      return true;
    }
  }
  if (!IsShown()) return false;
  if (event.type == EventType::KeyDown) {
    CUIListBox* list = panel.GetListBox(ID_BROWSER_LIST);
    const CUIComboBox* recent = panel.GetComboBox(ID_BROWSER_RECENT);
    // An open list of recent folders takes its own keys (Escape closes it alone).
    if (recent != nullptr && recent->IsOpened()) {
      panel.HandleEvent(window, event);
      return true;
    }
    switch (event.key) {
      case Platform::VK_ESCAPE:
        closingKey = event.key;
        Hide();
        return true;
      case Platform::VK_RETURN:
        if (event.repeat) return true;
        if (PathBoxFocused()) {
          FollowTypedPath();
        } else {
          ActivateSelection();
        }
        if (!IsShown()) closingKey = event.key;
        return true;
      case Platform::VK_BACK:
        if (PathBoxFocused()) break;
        Enter(ParentFolder(folder));
        return true;
      case Platform::VK_UP:
      case Platform::VK_DOWN:
      case Platform::VK_PRIOR:
      case Platform::VK_NEXT:
        if (list != nullptr) {
          panel.RequestFocus(list);
          list->HandleKeyboard(event);
        }
        FrameworkRequestFrame();
        return true;
      default: break;
    }
  }
  panel.HandleEvent(window, event);
  // Modal: no key, click or character reaches the panels, the camera or the quit handling.
  return event.IsKey() || event.IsMouse() || event.type == EventType::Text;
}
