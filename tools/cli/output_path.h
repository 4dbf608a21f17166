#pragma once

#include <string>

namespace PatinexCli {

// Makes the folder a file is to be written into, and those above it, when missing, as every
// output of the commands has its folders made; a folder that exists is left as it is (a device
// such as /dev/null lives in one the user cannot write). False, with the folder and why, when
// it cannot be made.
bool MakeParentFolder(const std::string& file, std::string* error);

// The path as the JSON documents list the files written: absolute and without "." or "..", so a
// pipeline finds them whatever folder it reads the document in.
std::string AbsolutePath(const std::string& path);

}  // namespace PatinexCli
