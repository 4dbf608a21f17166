#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs the built patinex-cli in a private temporary folder that is removed afterwards.
class CliFixture : public testing::Test {
protected:
  explicit CliFixture(std::string commandName)
      : command(std::move(commandName)),
        folder(fs::temp_directory_path() / ("patinex_" + command + "_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder);
  }
  ~CliFixture() override { fs::remove_all(folder); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return (folder / name).string();
  }

  // Runs "patinex-cli COMMAND arguments" and collects its exit status and output.
  CliResult Cli(const std::string& arguments) {
    return Shell(std::string(PATINEX_CLI) + " " + command + " " + arguments);
  }

  // Runs a shell command line and collects its exit status and output.
  CliResult Shell(const std::string& commandLine) {
    fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
    std::string line = "{ " + commandLine + "; } >" + out.string() + " 2>" + err.string() + " </dev/null";
    int status = std::system(line.c_str());
    CliResult run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
  }

  std::string command;
  fs::path folder;
};
