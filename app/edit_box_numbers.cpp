#include "app/edit_box_numbers.h"

#include <cctype>
#include <cstdio>

#include "framework/ui_edit_box.h"

int32_t ClampedEditBoxNumber(const std::string& text, int32_t highest) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // Past highest the exact value no longer matters: stop growing there.
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value <= highest) value = value * 10 + (text[i] - '0');
  }
  if (negative || value < 1) return 1;
  return value > highest ? highest : static_cast<int32_t>(value);
}

int32_t ReadClampedEditBox(CUIEditBox* box, int32_t highest) {
  if (box == nullptr) return 1;
  const int32_t value = ClampedEditBoxNumber(box->GetText(), highest);
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  if (box->GetText() != text) box->SetText(text);
  return value;
}
