#pragma once

#include <string>

namespace Platform {

// A button text as shown: a single '&' marks the mnemonic and goes, "&&" shows one '&'.
std::string WithoutMnemonics(const std::string& text);

}  // namespace Platform
