#pragma once

#include <string>

// The reference-device warning's "don't show again" choice, kept in one file holding a 32-bit
// value (non-zero: skip the warning).
std::string ReferenceWarningSkipFilePath();
bool ReadSkipReferenceWarning(const std::string& path);
// Creates the folder when needed. False (and a message on stderr) when the file cannot be written.
bool WriteSkipReferenceWarning(const std::string& path);
