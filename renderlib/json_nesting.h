#pragma once

#include <cstddef>
#include <string_view>

namespace RenderLib {

// How deeply the arrays and objects of a JSON text nest (0 for a bare value), counting brackets
// outside strings; the count stops once it passes stopAbove. JSON libraries parse recursively,
// so a text nested many thousands deep exhausts the stack: measure before parsing.
size_t JsonNestingDepth(std::string_view text, size_t stopAbove);

}  // namespace RenderLib
