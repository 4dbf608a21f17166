#pragma once

#include <functional>
#include <string>

class Dialog;

// The status line at the foot of the simulation panel: what the program is doing or did last,
// then either a notice about a value typed (until the next command) or the detail of the
// activity (where the masks went, what failed). Window thread only; every object that reports
// to the user writes into it, and the frame shows it.
class StatusLine {
public:
  // The panel whose status-line control shows the text.
  explicit StatusLine(Dialog& panel) : panel(panel) {}

  // What the program does or did last ("Sphere: 960 triangles.", "Run step 2 of 5: traced
  // 40.0 %", "Done: 5 steps in 12.3 s.").
  void SetActivity(const std::string& text);
  // The detail under the activity: where the masks go or went, or what failed and why.
  void SetDetail(const std::string& text);
  // A value clamped or refused; shown instead of the detail until the user's next command clears it.
  void SetNotice(const std::string& text);
  // The whole status as composed, before it is wrapped to the line's width.
  std::string Text() const;

  // Puts the status on the panel, wrapped to the line's width, when it changed since the last call.
  void Show();

private:
  Dialog& panel;
  std::string activity;
  std::string detail;
  std::string notice;
  bool changed = true;
};

// Breaks text into lines no wider than width as measure gives it: at spaces, after a '/', and
// inside a word only where the word alone is wider than a line. Keeps the text's own line breaks
// and at most maxLines lines, ending a cut text with "…".
std::string WrapText(const std::string& text, int width, int maxLines,
                     const std::function<int(const std::string&)>& measure);

// A folder as the status line names it: absolute, with the home folder as "~".
std::string ShownFolder(const std::string& folder);
