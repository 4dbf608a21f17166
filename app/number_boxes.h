#pragma once

#include <cstdint>
#include <string>

class Dialog;
class StatusLine;

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

// The values of the three boxes in use: the density of the samples, the steps and tons of the
// next run. Window thread; changed only by committing a box.
class NumberBoxes {
public:
  // The panel holding the boxes; refusals and clamps are said in the status line.
  NumberBoxes(Dialog& panel, StatusLine& status) : panel(panel), status(status) {}

  // Reads the box into its value, writes the value in use back into the box and says in the
  // status line what was clamped or refused. True when the value changed.
  bool Commit(const NumberBox& box);
  // The three boxes at once, as "Weather" needs them; true when the density changed (the caller
  // asks for new samples).
  bool CommitAll();
  // Writes the value into the box, unless it is being typed in: that is read when done.
  void Show(const NumberBox& box) const;
  // Takes a value the program settles (an opened session's density), within the box's range.
  void Set(const NumberBox& box, int32_t value);

  int32_t Density() const { return density; }
  int32_t Steps() const { return steps; }
  int32_t TonsPerStep() const { return tonsPerStep; }

private:
  int32_t& ValueOf(const NumberBox& box);
  int32_t ValueOf(const NumberBox& box) const;

  Dialog& panel;
  StatusLine& status;
  int32_t density = 100;
  int32_t steps = 1;
  int32_t tonsPerStep = 1000;
};
