#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_list_box.h"
#include "framework/ui_static.h"

namespace {

// Opaque, like the quit question: the browser stands out from the scene and panels under it.
constexpr ArgbColor kBrowserShade = 0xFF30343C;
constexpr ArgbColor kTitleColor = 0xFFB2B233;
constexpr ArgbColor kMessageColor = 0xFFFFB060;
constexpr int kMargin = 10;
constexpr int kRowHeight = 24;
constexpr int kButtonWidth = 80;

}  // namespace

void BuildFileBrowserPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  // Not registered: Tab among the panels never lands in the browser, and Tab in the browser
  // stays in it.
  panel.Init(&manager, false);
  panel.SetCallback(callback, context);
  panel.SetFont(1, "Arial", 14, 700);
  panel.SetBackgroundColors(kBrowserShade, kBrowserShade, kBrowserShade, kBrowserShade);
  const int inner = kFileBrowserWidth - 2 * kMargin;
  CUIStatic* title = nullptr;
  panel.AddStatic(ID_LABEL, "OPEN A MODEL (OBJ, glTF)", kMargin, 4, inner, 24, false, &title);
  if (title != nullptr) {
    title->SetTextColor(kTitleColor);
    if (ControlElement* element = title->GetElement(0)) element->font = 1;
  }
  // The folder shown, or a path typed: Enter goes to a folder or opens a file.
  panel.AddEditBox(ID_BROWSER_PATH, "", kMargin, 30, inner - kButtonWidth - 6, 28);
  panel.AddButton(ID_BROWSER_PARENT, "Parent", kFileBrowserWidth - kMargin - kButtonWidth, 32, kButtonWidth, kRowHeight);
  const int listTop = 62 + kRowHeight + 6;
  const int footTop = kFileBrowserHeight - kMargin - kRowHeight;
  const int messageTop = footTop - 6 - kRowHeight;
  panel.AddListBox(ID_BROWSER_LIST, kMargin, listTop, inner, messageTop - 4 - listTop);
  CUIStatic* message = nullptr;
  panel.AddStatic(ID_BROWSER_MESSAGE, "", kMargin, messageTop, inner, kRowHeight, false, &message);
  if (message != nullptr) message->SetTextColor(kMessageColor);
  panel.AddButton(ID_BROWSER_OPEN, "Open", kFileBrowserWidth - kMargin - 2 * kButtonWidth - 8, footTop, kButtonWidth,
                  kRowHeight);
  panel.AddButton(ID_BROWSER_CANCEL, "Cancel", kFileBrowserWidth - kMargin - kButtonWidth, footTop, kButtonWidth,
                  kRowHeight);
  // Added last so that its open list is drawn over the file list under it.
  CUIComboBox* recent = nullptr;
  panel.AddComboBox(ID_BROWSER_RECENT, kMargin, 62, inner, kRowHeight, 0, false, &recent);
  if (recent != nullptr) recent->SetDropHeight(kComboListHeight + 40);
  panel.SetVisible(false);
}
