#include "renderlib/format_temp.h"

#include <cstdarg>
#include <cstdio>

namespace RenderLib {
namespace {

constexpr int kBufferCount = 4;
constexpr int kBufferSize = 256;

thread_local char buffers[kBufferCount][kBufferSize];
thread_local int nextBuffer = 0;

}  // namespace

const char* FormatTemp(const char* format, ...) {
  char* buffer = buffers[nextBuffer];
  nextBuffer = (nextBuffer + 1) % kBufferCount;
  va_list arguments;
  va_start(arguments, format);
  if (std::vsnprintf(buffer, kBufferSize, format, arguments) < 0) buffer[0] = '\0';
  va_end(arguments);
  return buffer;
}

}  // namespace RenderLib
