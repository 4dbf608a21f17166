#pragma once

namespace RenderLib {

// printf-style formatting into one of four buffers of 256 bytes used in turn, so a caller can
// hold up to four results at once (the fifth call reuses the first buffer). Output longer than
// 255 characters is cut. The buffers belong to the calling thread: threads never see each
// other's results.
const char* FormatTemp(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace RenderLib
