#pragma once

#include <cstdint>

// Result codes of the framework and graphics operations: zero or positive on success, negative
// on failure. The values follow the classic 32-bit convention (severity bit, facility, code), so
// the framework's own codes such as 0x80040903 stay what callers expect.
namespace Platform {

using Result = int32_t;

constexpr Result MakeResult(uint32_t value) { return static_cast<Result>(value); }

inline constexpr Result kOk = 0;
inline constexpr Result kFalse = 1;
inline constexpr Result kFail = MakeResult(0x80004005);
inline constexpr Result kInvalidArgument = MakeResult(0x80070057);
inline constexpr Result kOutOfMemory = MakeResult(0x8007000E);
inline constexpr Result kNotImplemented = MakeResult(0x80004001);
inline constexpr Result kFileNotFound = MakeResult(0x80070002);
// Presenting found nothing of the window visible.
inline constexpr Result kStatusOccluded = MakeResult(0x087A0001);
inline constexpr Result kDeviceRemoved = MakeResult(0x887A0005);
inline constexpr Result kDeviceReset = MakeResult(0x887A0007);

constexpr bool Succeeded(Result result) { return result >= 0; }
constexpr bool Failed(Result result) { return result < 0; }

}  // namespace Platform
