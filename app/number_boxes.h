#pragma once

#include <cstdint>
#include <string>

// The three number boxes of the parameters panel. A box is read when the user is done with it
// (Enter, the focus leaving it, "Weather"), never while a number is being typed.

struct NumberBox {
  int id;            // the edit box's control identifier
  const char* name;  // as its label reads
  int32_t lowest;
  int32_t highest;
};

extern const NumberBox kDensityBox;
extern const NumberBox kStepsBox;
extern const NumberBox kTonsPerStepBox;

enum class NumberVerdict { Taken, Clamped, Refused };

struct NumberReading {
  int32_t value;
  NumberVerdict verdict;
};

// The text as a whole number within the box's range: surrounding spaces are allowed, a number
// outside the range becomes its nearest bound (Clamped), and anything that is not a whole number
// (empty, letters, "2.5", "5x") is Refused and keeps current.
NumberReading ReadNumber(const std::string& text, const NumberBox& box, int32_t current);

// What the window says about a reading that was not taken as typed; empty when it was.
std::string NumberNotice(const NumberBox& box, const std::string& typed, const NumberReading& reading);

// Reads the box into value, writes the value in use back into the box and says in the status
// line what was clamped or refused. True when value changed.
bool CommitNumberBox(const NumberBox& box, int32_t& value);

// The three boxes at once, as "Weather" needs them; a changed density asks for new samples.
void CommitNumberBoxes();
