#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace PatinexCli {

// A program the batch runs, with its stdout and stderr going to a log file. It runs in a
// process group of its own, so that Ctrl+C on the terminal reaches the batch alone, which then
// stops each child with one signal (a second would make it quit at once, leaving its step
// unfinished); and it is sent SIGTERM should the batch itself die.
class ChildProcess {
public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program with arguments (argv[0] is program). False, with what failed and why, when
  // the log cannot be opened or no process made.
  bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& logPath,
             std::string* error);
  // Whether it has ended, told without waiting; once it has, its status is known.
  bool Ended();
  void Signal(int signal) const;
  bool Succeeded() const { return exitStatus == 0; }
  // How it ended, as a person reads it: "exit status 1", "killed by SIGSEGV".
  std::string Ending() const;

private:
  pid_t pid = -1;
  int exitStatus = -1;  // -1 while running or when killed
  int killedBy = 0;
};

// Runs program to its end and collects what it wrote on stdout and stderr. False, with why,
// when it cannot be started; status is its exit status (-1 when killed).
bool RunAndCollect(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
                   int* status, std::string* error);

// The file this process runs from: children of the batch run the very same program.
std::string OwnProgram();

}  // namespace PatinexCli
