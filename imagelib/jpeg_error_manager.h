#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace ImageLib {

// libjpeg's error manager, extended with the name of what is being read or written and where to
// jump on an error. The library holds a pointer to `library`, which as the first member is also a
// pointer to the whole record.
struct JpegErrorManager {
  jpeg_error_mgr library;
  const char* name;
  std::jmp_buf jump;
  void (*standardEmitMessage)(j_common_ptr, int);  // the library's own, for managers that wrap it
};

inline JpegErrorManager& JpegErrorManagerOf(j_common_ptr info) {
  return *reinterpret_cast<JpegErrorManager*>(info->err);
}

// Says what went wrong, prefixed with the manager's name, and jumps back to its jump point.
[[noreturn]] inline void ReportJpegErrorAndLeave(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  std::fprintf(stderr, "%s: %s\n", JpegErrorManagerOf(info).name, message);
  std::longjmp(JpegErrorManagerOf(info).jump, 1);
}

// The library's standard manager whose fatal errors report and jump instead of ending the program.
// The caller sets the jump point with setjmp before the first library call.
inline jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager, const char* name) {
  jpeg_error_mgr* library = jpeg_std_error(&manager.library);
  library->error_exit = ReportJpegErrorAndLeave;
  manager.standardEmitMessage = library->emit_message;
  manager.name = name;
  return library;
}

}  // namespace ImageLib
