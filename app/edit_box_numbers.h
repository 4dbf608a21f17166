#pragma once

#include <cstdint>
#include <string>

class CUIEditBox;

// The number an integer edit box holds, within 1..highest: the text read as a decimal integer
// (text that does not start with a number reads as 0), with values below 1 giving 1 and values
// above highest giving highest. Long digit runs saturate instead of wrapping.
int32_t ClampedEditBoxNumber(const std::string& text, int32_t highest);

// Reads the box as above and writes the value back ("%d"), so the box shows the value in use.
// A missing box reads as 1.
int32_t ReadClampedEditBox(CUIEditBox* box, int32_t highest);
