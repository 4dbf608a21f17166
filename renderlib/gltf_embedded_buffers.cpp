#include "renderlib/gltf_embedded_buffers.h"

#include <charconv>
#include <utility>

#include "renderlib/base64_prefix.h"

namespace RenderLib::Gltf {
namespace {

constexpr std::string_view kBufferHeaders[] = {"data:application/octet-stream;base64,",
                                               "data:application/gltf-buffer;base64,"};
// The JSON escape of the NUL character that starts every name given to a decoded buffer.
constexpr std::string_view kNulEscape = "\\u0000";
constexpr std::string_view kNameStem = "buffer-";

// Walks a JSON text just far enough to find the members of its top-level objects. It need not
// refuse every malformed text: the glTF library parses what comes out and reports any fault.
class JsonSkimmer {
public:
  explicit JsonSkimmer(std::string_view text) : text(text) {}

  size_t At() const { return at; }

  bool Peek(char c) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
    return at < text.size() && text[at] == c;
  }

  bool Take(char c) {
    if (!Peek(c)) return false;
    ++at;
    return true;
  }

  // A string from its opening quote: its content as written, escapes undecoded.
  bool String(std::string_view& content) {
    if (!Take('"')) return false;
    const size_t begin = at;
    for (;;) {
      const size_t quote = text.find('"', at);
      if (quote == std::string_view::npos) return false;
      size_t backslashes = 0;
      while (quote - backslashes > begin && text[quote - 1 - backslashes] == '\\') ++backslashes;
      at = quote + 1;
      if (backslashes % 2 == 0) {
        content = text.substr(begin, quote - begin);
        return true;
      }
    }
  }

  // A member's key and its colon.
  bool Key(std::string_view& key) { return Peek('"') && String(key) && Take(':'); }

  // Any value, its strings skipped whole and its brackets counted.
  bool Value() {
    std::string_view ignored;
    if (Peek('"')) return String(ignored);
    if (at >= text.size()) return false;
    if (text[at] != '{' && text[at] != '[') {
      const size_t begin = at;
      while (at < text.size() && !Ends(text[at])) ++at;
      return at > begin;
    }
    size_t depth = 0;
    while (at < text.size()) {
      const char c = text[at];
      if (c == '"') {
        if (!String(ignored)) return false;
        continue;
      }
      ++at;
      if (c == '{' || c == '[') {
        ++depth;
      } else if ((c == '}' || c == ']') && --depth == 0) {
        return true;
      }
    }
    return false;
  }

private:
  static bool Ends(char c) {
    return c == ',' || c == '}' || c == ']' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
  }

  std::string_view text;
  size_t at = 0;
};

struct Replacement {
  size_t begin = 0;  // the URI's first character in the text
  size_t end = 0;    // just past its last
  size_t buffer = 0;
};

// The decoded bytes of a buffer's URI, or none when the library is to read it itself.
bool DecodeUri(std::string_view uri, std::vector<unsigned char>& bytes) {
  for (std::string_view header : kBufferHeaders) {
    if (uri.substr(0, header.size()) != header) continue;
    const std::string_view text = uri.substr(header.size());
    const size_t decoded = DecodeBase64Prefix(text, bytes);
    if (bytes.empty()) return false;
    // The library ignores what follows the base64, but an escape or a character outside printable
    // ASCII there may change the URI it reads, or make the document one it refuses.
    for (char c : text.substr(decoded)) {
      if (c < 0x20 || c > 0x7e || c == '\\') return false;
    }
    return true;
  }
  return false;
}

}  // namespace

bool EmbeddedBuffers::Extract(std::string_view json, std::string& rewritten) {
  decoded.clear();
  // With no NUL in the document, no URI of its own can be taken for a name given here.
  if (json.find(kNulEscape) != std::string_view::npos) return false;
  std::vector<Replacement> replacements;
  JsonSkimmer skimmer(json);
  auto buffers = [&]() {
    if (skimmer.Take(']')) return true;
    do {
      if (!skimmer.Take('{')) {
        if (!skimmer.Value()) return false;
        continue;
      }
      if (skimmer.Take('}')) continue;
      do {
        std::string_view key, uri;
        if (!skimmer.Key(key)) return false;
        if (key != "uri" || !skimmer.Peek('"')) {
          if (!skimmer.Value()) return false;
          continue;
        }
        const size_t begin = skimmer.At() + 1;
        if (!skimmer.String(uri)) return false;
        std::vector<unsigned char> bytes;
        if (DecodeUri(uri, bytes)) {
          replacements.push_back({begin, begin + uri.size(), decoded.size()});
          decoded.push_back(std::move(bytes));
        }
      } while (skimmer.Take(','));
      if (!skimmer.Take('}')) return false;
    } while (skimmer.Take(','));
    return skimmer.Take(']');
  };
  bool sound = skimmer.Take('{');
  if (sound && !skimmer.Take('}')) {
    do {
      std::string_view key;
      sound = skimmer.Key(key) && (key == "buffers" && skimmer.Take('[') ? buffers() : skimmer.Value());
    } while (sound && skimmer.Take(','));
    sound = sound && skimmer.Take('}');
  }
  if (!sound || replacements.empty()) {
    decoded.clear();
    return false;
  }
  rewritten.clear();
  rewritten.reserve(json.size() - (replacements.back().end - replacements.front().begin) + 32 * replacements.size());
  size_t from = 0;
  for (const Replacement& replacement : replacements) {
    rewritten.append(json.substr(from, replacement.begin - from));
    rewritten.append(kNulEscape);
    rewritten.append(kNameStem);
    rewritten.append(std::to_string(replacement.buffer));
    from = replacement.end;
  }
  rewritten.append(json.substr(from));
  return true;
}

long EmbeddedBuffers::Index(const std::string& path) const {
  const size_t nul = path.find('\0');
  if (nul == std::string::npos) return -1;
  const std::string_view name = std::string_view(path).substr(nul + 1);
  if (name.substr(0, kNameStem.size()) != kNameStem) return -1;
  const char* first = name.data() + kNameStem.size();
  const char* last = name.data() + name.size();
  size_t index = 0;
  const auto [end, error] = std::from_chars(first, last, index);
  if (error != std::errc() || end != last || first == last || index >= decoded.size()) return -1;
  return long(index);
}

bool EmbeddedBuffers::Holds(const std::string& path) const { return Index(path) >= 0; }

bool EmbeddedBuffers::Take(const std::string& path, std::vector<unsigned char>& bytes) {
  const long index = Index(path);
  if (index < 0) return false;
  bytes.clear();
  bytes.swap(decoded[size_t(index)]);
  return true;
}

}  // namespace RenderLib::Gltf
