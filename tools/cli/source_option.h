#pragma once

#include <string>

#include "renderlib/vector3.h"

namespace PatinexCli {

// "X,Y,Z" as three finite numbers: false, with why, for anything else ("1,0", "a,b,c", "1,0,0,").
bool ParseDirectionText(const std::string& text, RenderLib::Vector3* direction, std::string* error);

// A spread in degrees as a finite number: false, with why, for anything else.
bool ParseSpreadText(const std::string& text, float* degrees, std::string* error);

// The direction as "X,Y,Z", the form ParseDirectionText reads back exactly.
std::string DirectionText(const RenderLib::Vector3& direction);

}  // namespace PatinexCli
