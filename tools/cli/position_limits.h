#pragma once

#include <cstddef>
#include <string>

#include "renderlib/vector3.h"

namespace PatinexCli {

// No coordinate a command takes may lie farther from the origin than this: squared distances
// across such a model still fit a float, and no real model comes near it.
inline constexpr float kMaxCoordinate = 1e15f;

// Whether every position is finite and within kMaxCoordinate on every axis. False, with the
// first offender and how many there are in error, otherwise; `what` names the positions
// ("the vertices of bunny.obj").
bool CheckPositions(const std::string& what, const RenderLib::Vector3* positions, size_t count, size_t stride,
                    std::string& error);

}  // namespace PatinexCli
