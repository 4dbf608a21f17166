#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace RenderLib::Gltf {

// The buffers of a glTF text whose base64 data URIs are decoded here rather than by the glTF
// library, whose decoder is several times slower than the rest of the reading. Each decoded URI
// is replaced in the text by a name no file can have (it holds a NUL character), which the
// reader's file callbacks answer from memory. A URI is left as it is wherever the library might
// read it differently: escapes or characters outside printable ASCII, an empty result, or a
// document already holding a NUL character. The library then reads it as before.
class EmbeddedBuffers {
public:
  // Decodes the data URIs of the top-level "buffers" in `json` and writes the text with them
  // replaced into `rewritten`. False, with `rewritten` untouched, when none was replaced.
  bool Extract(std::string_view json, std::string& rewritten);

  // Whether `path` (the name, perhaps behind a folder) is one of the replaced buffers.
  bool Holds(const std::string& path) const;

  // Hands over the decoded bytes of the buffer `path` names; false when it names none.
  bool Take(const std::string& path, std::vector<unsigned char>& bytes);

private:
  // The index of the buffer `path` names, or -1.
  long Index(const std::string& path) const;

  std::vector<std::vector<unsigned char>> decoded;
};

}  // namespace RenderLib::Gltf
