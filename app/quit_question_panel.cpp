#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "framework/ui_static.h"

namespace {

// Opaque, unlike the panels: the question stands out from the scene it lies over.
constexpr ArgbColor kQuestionShade = 0xFF30343C;
constexpr ArgbColor kQuestionText = 0xFFFFFFFF;

}  // namespace

void BuildQuitQuestionPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  // Not registered: Tab among the panels never lands on the question's buttons.
  panel.Init(&manager, false);
  panel.SetCallback(callback, context);
  panel.SetFont(1, "Arial", 14, 700);
  panel.SetBackgroundColors(kQuestionShade, kQuestionShade, kQuestionShade, kQuestionShade);
  CUIStatic* text = nullptr;
  panel.AddStatic(ID_QUESTION_TEXT, "A run is in progress. Quit anyway?", 20, 10, kQuitQuestionWidth - 40, 44, false, &text);
  if (text != nullptr) {
    text->SetTextColor(kQuestionText);
    if (ControlElement* element = text->GetElement(0)) element->font = 1;
  }
  // Yes to the left, No, the safe answer, to the right; Enter and Escape give No.
  panel.AddButton(ID_QUIT_YES, "Yes", 30, 60, 110, 28);
  panel.AddButton(ID_QUIT_NO, "No", kQuitQuestionWidth - 140, 60, 110, 28, 0, true);
  panel.SetVisible(false);
}
