#pragma once

#include <string>
#include <string_view>

namespace RenderLib {

// Path operations on 8-bit paths as models and material libraries write them: both '/' and
// '\\' separate components, whatever the system.

// The directory part: the path cut at its last '/' or '\\'; empty when there is no separator.
// A path directly under the root keeps the root ("/a" gives "/").
std::string StripFilename(std::string_view path);

// Adds name as a further component: the separator goes between unless path is empty or already
// ends in '/' or '\\'; a first character of name equal to the separator is skipped, and every
// '\\' of name is written as the separator. An empty name changes nothing.
std::string AppendPath(std::string path, std::string_view name, char separator);

// Replaces the extension (the part from the last '.' of the last component) with extension,
// which may be given with or without its dot.
std::string SetFileExtension(std::string path, std::string_view extension);

}  // namespace RenderLib
