#include "app/status_line.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/control_ids.h"
#include "framework/dialog.h"
#include "framework/ui_static.h"
#include "platform/text_layout.h"

namespace {

// Four lines fill the line's place in the panel; a longer text makes it taller, up to this many
// lines (a window too short for them lets the panels flow into another column).
constexpr int kStatusLines = 4;
constexpr int kMostStatusLines = 16;
const char kEllipsis[] = "\xE2\x80\xA6";

// Where the last code point of text starts (0 for empty text).
size_t LastCodePointStart(const std::string& text) {
  size_t last = 0;
  for (size_t at = 0; at < text.size();) {
    last = at;
    Platform::DecodeUtf8(text, at);
  }
  return last;
}

// Pieces of a paragraph that a line may end after: words with their trailing spaces, and path
// parts up to and including their '/'.
std::vector<std::string> BreakPieces(const std::string& paragraph) {
  std::vector<std::string> pieces;
  std::string piece;
  for (size_t i = 0; i < paragraph.size(); ++i) {
    const char c = paragraph[i];
    piece += c;
    const bool spaceEnds = c == ' ' && (i + 1 == paragraph.size() || paragraph[i + 1] != ' ');
    if (spaceEnds || c == '/') {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

std::string TrimSpaces(std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  size_t first = 0;
  while (first < line.size() && line[first] == ' ') ++first;
  return line.substr(first);
}

void WrapParagraph(const std::string& paragraph, int width, const std::function<int(const std::string&)>& measure,
                   std::vector<std::string>& lines) {
  std::string line;
  for (const std::string& piece : BreakPieces(paragraph)) {
    if (measure(TrimSpaces(line + piece)) <= width) {
      line += piece;
      continue;
    }
    if (!TrimSpaces(line).empty()) lines.push_back(TrimSpaces(line));
    line.clear();
    // A piece wider than a whole line is cut where it no longer fits.
    size_t at = 0;
    while (at < piece.size()) {
      size_t next = at;
      Platform::DecodeUtf8(piece, next);
      const std::string longer = line + piece.substr(at, next - at);
      if (!line.empty() && measure(TrimSpaces(longer)) > width) {
        lines.push_back(TrimSpaces(line));
        line.clear();
        continue;
      }
      line = longer;
      at = next;
    }
  }
  lines.push_back(TrimSpaces(line));
}

}  // namespace

std::string WrapText(const std::string& text, int width, int maxLines,
                     const std::function<int(const std::string&)>& measure) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    WrapParagraph(text.substr(start, end - start), width, measure, lines);
    start = end + 1;
  }
  if (maxLines > 0 && static_cast<int>(lines.size()) > maxLines) {
    lines.resize(static_cast<size_t>(maxLines));
    std::string& last = lines.back();
    while (!last.empty() && measure(last + kEllipsis) > width) last.erase(LastCodePointStart(last));
    last = TrimSpaces(last) + kEllipsis;
  }
  std::string wrapped;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) wrapped += '\n';
    wrapped += lines[i];
  }
  return wrapped;
}

std::string AsSentence(std::string text) {
  if (text.empty()) return text;
  const std::string firstWord = text.substr(0, text.find(' '));
  if (firstWord.find_first_of("./") == std::string::npos) {
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  }
  return text.back() == '.' ? text : text + ".";
}

std::string PlainReadFailure(const std::string& reason, const std::string& file) {
  const std::string tag = "[json.exception.";
  const size_t at = reason.find(tag);
  if (at == std::string::npos) return reason;
  const size_t tagEnd = reason.find("] ", at);
  std::string cause = tagEnd == std::string::npos ? reason.substr(at) : reason.substr(tagEnd + 2);
  const std::string name = std::filesystem::path(file).filename().string();
  // "parse error at line 3, column 7: syntax error while parsing object key - ..." names where.
  const std::string parseError = "parse error ";
  if (cause.rfind(parseError, 0) == 0) return name + " is not valid JSON: " + cause.substr(parseError.size());
  return name + " holds JSON that cannot be read: " + cause;
}

std::string ShownFolder(const std::string& relativeFolder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(relativeFolder, error);
  const std::string folder = error ? relativeFolder : absolute.lexically_normal().string();
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return folder;
  const std::string prefix = home;
  const bool inHome =
      folder.compare(0, prefix.size(), prefix) == 0 && (folder.size() == prefix.size() || folder[prefix.size()] == '/');
  if (!inHome) return folder;
  std::string shown(1, '~');
  shown.append(folder.data() + prefix.size(), folder.size() - prefix.size());
  return shown;
}

void StatusLine::SetActivity(const std::string& text) {
  if (activity == text) return;
  activity = text;
  changed = true;
}

void StatusLine::SetDetail(const std::string& text) {
  if (detail == text) return;
  detail = text;
  changed = true;
}

void StatusLine::DropNotice(const std::string& text) {
  if (notice == text) SetNotice("");
}

void StatusLine::SetNotice(const std::string& text) {
  if (notice == text) return;
  notice = text;
  changed = true;
}

std::string StatusLine::Text() const {
  const std::string& second = notice.empty() ? detail : notice;
  if (second.empty()) return activity;
  if (activity.empty()) return second;
  return activity + "\n" + second;
}

void StatusLine::Show() {
  if (!changed) return;
  CUIStatic* line = panel.GetStatic(ID_PROGRESS);
  if (line == nullptr) return;
  const ControlElement* element = line->GetElement(0);
  // Without a device there is no font to measure the lines with: wrap once there is one.
  if (element == nullptr || panel.TextWidth(*element, "M") <= 0) return;
  changed = false;
  const auto measure = [&](const std::string& text) { return panel.TextWidth(*element, text); };
  const std::string wrapped = WrapText(Text(), line->Width(), grow ? kMostStatusLines : kStatusLines, measure);
  const int lines = 1 + static_cast<int>(std::count(wrapped.begin(), wrapped.end(), '\n'));
  // The line's place holds kStatusLines lines; each one more adds a line's height.
  const int baseHeight = line->Height() - grownBy;
  const int lineHeight = (baseHeight + kStatusLines - 1) / kStatusLines;
  const int extra = std::max(0, lines - kStatusLines) * lineHeight;
  if (extra != grownBy) {
    line->SetSize(line->Width(), baseHeight + extra);
    grownBy = extra;
    if (grow) grow(extra);
  }
  line->SetText(wrapped);
  line->SetVisible(true);
}
