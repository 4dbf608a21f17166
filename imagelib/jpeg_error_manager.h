#pragma once

#include <csetjmp>

#include <jpeglib.h>

namespace ImageLib {

// libjpeg's standard error manager, whose fatal errors keep the library's message and jump back
// to the caller's jump point instead of ending the program. The library holds a pointer to
// `library`, which as the first member is also a pointer to the whole record. The caller sets
// the jump point with setjmp before the first library call.
struct JpegErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] inline void KeepJpegErrorAndLeave(j_common_ptr info) {
  JpegErrorManager& manager = *reinterpret_cast<JpegErrorManager*>(info->err);
  info->err->format_message(info, manager.message);
  std::longjmp(manager.jump, 1);
}

inline jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager) {
  jpeg_error_mgr* library = jpeg_std_error(&manager.library);
  library->error_exit = KeepJpegErrorAndLeave;
  return library;
}

}  // namespace ImageLib
