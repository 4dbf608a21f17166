#include "framework/ui_static.h"

#include "framework/control_host.h"
#include "framework/ui_text.h"

void CUIStatic::Render(float elapsedSeconds) {
  ControlElement* element = GetElement(0);
  if (!visible || !element) return;
  element->fontColor.Blend(CurrentState(false), elapsedSeconds);
  host->DrawText(text, *element, boundingBox, true);
}

void CUIStatic::SetText(const std::string& newText) { text = TruncateCodePoints(newText, kMaxTextCodePoints); }
