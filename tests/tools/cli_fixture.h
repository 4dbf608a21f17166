#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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
  int status;  // the exit status, -1 when ended by a signal
  std::string out;
  std::string err;
  int signal = 0;  // the signal that ended it
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

  // Starts "patinex-cli COMMAND arguments" in the background, its output going to files, with
  // the ending signals at their defaults (whatever the test runner set) and, when given, an
  // address-space limit. Finish waits for it.
  pid_t Start(const std::vector<std::string>& arguments, rlim_t addressSpace = RLIM_INFINITY) {
    const std::string out = (folder / "child_stdout.txt").string(), err = (folder / "child_stderr.txt").string();
    std::vector<std::string> words = {PATINEX_CLI, command};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(outFile, 1);
      dup2(errFile, 2);
      for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      if (addressSpace != RLIM_INFINITY) {
        const struct rlimit limit = {addressSpace, addressSpace};
        setrlimit(RLIMIT_AS, &limit);
      }
      execv(PATINEX_CLI, argv.data());
      _exit(127);
    }
    return child;
  }
  CliResult Finish(pid_t child) {
    int status = 0;
    CliResult run{-1, "", ""};
    if (waitpid(child, &status, 0) != child) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.out = ReadFile(folder / "child_stdout.txt");
    run.err = ReadFile(folder / "child_stderr.txt");
    fs::remove(folder / "child_stdout.txt");
    fs::remove(folder / "child_stderr.txt");
    return run;
  }

  std::string command;
  fs::path folder;
};
