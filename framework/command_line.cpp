#include "framework/command_line.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

enum class ValueKind { None, Integer, OptionalSeconds };

// Ignored: accepted (its value checked) and changing nothing.
enum class OptionId {
  Ignored, Adapter, Windowed, Output, FullScreen, ForceHal, ForceRef, ForceWarp, ForceVsync, Width, Height, StartX,
  StartY, ConstantFrameTime, QuitAfterFrame, NoErrorMsgBoxes, NoStats, Automation,
};

struct OptionDefinition {
  const char* name;
  OptionId id;
  ValueKind value;
};

// Tried in this order; the first match wins.
constexpr OptionDefinition kOptions[] = {
    {"forceapi", OptionId::Ignored, ValueKind::Integer},
    {"adapter", OptionId::Adapter, ValueKind::Integer},
    {"windowed", OptionId::Windowed, ValueKind::None},
    {"output", OptionId::Output, ValueKind::Integer},
    {"fullscreen", OptionId::FullScreen, ValueKind::None},
    {"forcehal", OptionId::ForceHal, ValueKind::None},
    {"forceref", OptionId::ForceRef, ValueKind::None},
    {"forcewarp", OptionId::ForceWarp, ValueKind::None},
    {"forcepurehwvp", OptionId::Ignored, ValueKind::None},
    {"forcehwvp", OptionId::Ignored, ValueKind::None},
    {"forceswvp", OptionId::Ignored, ValueKind::None},
    {"forcevsync", OptionId::ForceVsync, ValueKind::Integer},
    {"width", OptionId::Width, ValueKind::Integer},
    {"height", OptionId::Height, ValueKind::Integer},
    {"startx", OptionId::StartX, ValueKind::Integer},
    {"starty", OptionId::StartY, ValueKind::Integer},
    {"constantframetime", OptionId::ConstantFrameTime, ValueKind::OptionalSeconds},
    {"quitafterframe", OptionId::QuitAfterFrame, ValueKind::Integer},
    {"noerrormsgboxes", OptionId::NoErrorMsgBoxes, ValueKind::None},
    {"nostats", OptionId::NoStats, ValueKind::None},
    {"relaunchmce", OptionId::Ignored, ValueKind::None},
    {"automation", OptionId::Automation, ValueKind::None},
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The name must be followed by the end of the text or by ':'. Returns where the rest starts.
bool MatchName(const std::string& text, const char* name, size_t* rest) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= text.size() || Lower(text[i]) != name[i]) return false;
  }
  if (i < text.size() && text[i] != ':') return false;
  *rest = i;
  return true;
}

// The value after ':' runs to the first character at or below the space character.
std::string ValueAfter(const std::string& text, size_t rest) {
  if (rest >= text.size()) return {};
  size_t end = rest + 1;
  while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ') ++end;
  return text.substr(rest + 1, end - rest - 1);
}

bool ParseWholeInteger(const std::string& text, int* value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
  auto [end, error] = std::from_chars(first, last, *value);
  return error == std::errc() && end == last && first != last;
}

bool ParseWholeFloat(const std::string& text, float* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE) return false;
  *value = static_cast<float>(parsed);
  return true;
}

std::string Invalid(const char* name, const std::string& value, const char* expected) {
  return std::string("Invalid value \"") + value + "\" for the option -" + name + ": expected " + expected + ".";
}

// Reads an integer value within [low, high].
bool ReadInteger(const OptionDefinition& option, const std::string& value, int low, int high, const char* expected,
                 int* result, std::string* error) {
  int parsed = 0;
  if (!ParseWholeInteger(value, &parsed) || parsed < low || parsed > high) {
    *error = Invalid(option.name, value, expected);
    return false;
  }
  *result = parsed;
  return true;
}

bool Apply(const OptionDefinition& option, const std::string& value, CommandLineOptions* options, std::string* error) {
  constexpr int kMaxInt = 0x7fffffff;
  int number = 0;
  switch (option.id) {
    case OptionId::Ignored:
      if (option.value != ValueKind::Integer) return true;
      return ReadInteger(option, value, -kMaxInt, kMaxInt, "a whole number", &number, error);
    case OptionId::Adapter:
      return ReadInteger(option, value, 0, kMaxInt, "a whole number from 0", &options->adapter, error);
    case OptionId::Output:
      return ReadInteger(option, value, 0, kMaxInt, "a whole number from 0", &options->output, error);
    case OptionId::ForceVsync:
      if (!ReadInteger(option, value, -kMaxInt, kMaxInt, "a whole number", &number, error)) return false;
      if (number == 0 || number == 1) options->forceVsync = number;
      return true;
    case OptionId::Width:
      return ReadInteger(option, value, 1, kLargestBackBufferSide, "a whole number from 1 to 16384", &options->width,
                         error);
    case OptionId::Height:
      return ReadInteger(option, value, 1, kLargestBackBufferSide, "a whole number from 1 to 16384", &options->height,
                         error);
    case OptionId::StartX:
      if (!ReadInteger(option, value, -kFarthestWindowPosition, kFarthestWindowPosition,
                       "a whole number from -100000 to 100000", &options->startX, error))
        return false;
      options->hasStartX = true;
      return true;
    case OptionId::StartY:
      if (!ReadInteger(option, value, -kFarthestWindowPosition, kFarthestWindowPosition,
                       "a whole number from -100000 to 100000", &options->startY, error))
        return false;
      options->hasStartY = true;
      return true;
    case OptionId::QuitAfterFrame:
      if (!ReadInteger(option, value, 0, kMaxInt, "a whole number from 0", &options->quitAfterFrame, error))
        return false;
      options->hasQuitAfterFrame = true;
      return true;
    case OptionId::ConstantFrameTime: {
      float seconds = kDefaultConstantFrameTime;
      if (!value.empty() && (!ParseWholeFloat(value, &seconds) || !std::isfinite(seconds) || !(seconds > 0.0f))) {
        *error = Invalid(option.name, value, "a number of seconds above 0");
        return false;
      }
      options->hasConstantFrameTime = true;
      options->constantFrameTime = seconds;
      return true;
    }
    case OptionId::Windowed: options->windowed = true; return true;
    case OptionId::FullScreen: options->fullScreen = true; return true;
    case OptionId::ForceHal: options->forceHardware = true; return true;
    case OptionId::ForceRef: options->forceReference = true; return true;
    case OptionId::ForceWarp: options->forceWarp = true; return true;
    case OptionId::NoErrorMsgBoxes: options->noErrorMessageBoxes = true; return true;
    case OptionId::NoStats: options->noStats = true; return true;
    case OptionId::Automation: options->automation = true; return true;
  }
  return true;
}

}  // namespace

Platform::Result ParseCommandLineArguments(const std::vector<std::string>& arguments, CommandLineOptions* options,
                                           std::string* error) {
  // Every option is read, so that -noerrormsgboxes counts wherever it stands.
  Platform::Result result = Platform::kOk;
  for (const std::string& argument : arguments) {
    if (argument.empty() || (argument[0] != '/' && argument[0] != '-')) continue;
    const std::string text = argument.substr(1);
    for (const OptionDefinition& option : kOptions) {
      size_t rest = 0;
      if (!MatchName(text, option.name, &rest)) continue;
      const std::string value = ValueAfter(text, rest);
      if (option.value == ValueKind::Integer && value.empty()) break;  // needs a value: ignored
      std::string message;
      if (!Apply(option, value, options, &message) && Platform::Succeeded(result)) {
        if (error) *error = message;
        result = Platform::kInvalidArgument;
      }
      break;
    }
  }
  return result;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}
