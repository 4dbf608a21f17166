#pragma once

#include <functional>
#include <string>
#include <utility>

class Dialog;

// The status line at the foot of the simulation panel: what the program is doing or did last,
// then either a notice about a value typed (until the next command) or the detail of the
// activity (where the masks went, what failed). Window thread only; every object that reports
// to the user writes into it, and the frame shows it.
class StatusLine {
public:
  // The panel whose status-line control shows the text; grow is told how many pixels the line
  // needs beyond its place in the panel (0 when the text fits there), so that the panel can grow.
  explicit StatusLine(Dialog& panel, std::function<void(int)> grow = {}) : panel(panel), grow(std::move(grow)) {}

  // What the program does or did last ("Sphere: 960 triangles.", "Run step 2 of 5: traced
  // 40.0 %", "Done: 5 steps in 12.3 s.").
  void SetActivity(const std::string& text);
  // The detail under the activity: where the masks go or went, or what failed and why.
  void SetDetail(const std::string& text);
  // A value clamped or refused; shown instead of the detail until the user's next command clears it.
  void SetNotice(const std::string& text);
  // Clears the notice when it is still text: what it said no longer holds.
  void DropNotice(const std::string& text);
  // The whole status as composed, before it is wrapped to the line's width.
  std::string Text() const;

  // Puts the status on the panel, wrapped to the line's width, when it changed since the last
  // call. The whole text shows: a text longer than the line's place makes the line taller.
  void Show();

private:
  Dialog& panel;
  std::function<void(int)> grow;
  int grownBy = 0;
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

// A reason as the status line shows it, a sentence of its own: capitalised (unless it starts
// with a file's name, kept as it is) and ending in a full stop.
std::string AsSentence(std::string text);

// A reader's failure as the status line shows it: a library's exception text (nlohmann's
// "[json.exception.parse_error.101] parse error at line 1, ...") becomes a sentence naming the
// file (by its name) and the cause; other reasons come back as they are.
std::string PlainReadFailure(const std::string& reason, const std::string& file);

// A folder as the status line names it: absolute, with the home folder as "~".
std::string ShownFolder(const std::string& folder);
