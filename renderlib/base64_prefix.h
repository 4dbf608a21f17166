#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace RenderLib {

// Decodes the base64 text at the start of `text`, up to its first character outside the alphabet
// A-Z a-z 0-9 + / (padding '=' included), as the glTF library we read with does: a last group of
// two or three characters gives one or two bytes, and one character alone gives none. Returns
// the number of characters decoded; `bytes` holds exactly the decoded bytes.
size_t DecodeBase64Prefix(std::string_view text, std::vector<unsigned char>& bytes);

}  // namespace RenderLib
