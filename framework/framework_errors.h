#pragma once

#include <string>

#include "platform/result.h"

// The framework's fatal results, the exit code each ends the program with, and the message shown.
struct FrameworkErrorReport {
  int exitCode;
  const char* message;  // empty for results without a message
};

// Exit code 1 and no message for any result the framework does not own (an invalid command-line
// value among them; that one gets its own message where it is found).
FrameworkErrorReport FrameworkErrorFor(Platform::Result result);

// Sets the exit code of the error (unless an earlier error set one) and shows its message on
// stderr and, when message boxes are on, in a message box.
void FrameworkReportError(Platform::Result result);
// Shows a message on stderr and, when message boxes are on, in an error message box captioned
// with the window title ("Patinex Application" when there is none).
void FrameworkShowErrorMessage(const std::string& message);
// Records an error's exit code unless an earlier error set one.
void FrameworkSetErrorExitCode(int exitCode);
