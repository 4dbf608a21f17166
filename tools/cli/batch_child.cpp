#include "tools/cli/batch_child.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace PatinexCli {
namespace {

std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

// In the forked child, before exec: only async-signal-safe calls. The signals the batch
// catches come back to their defaults, and none stays blocked.
void PrepareChild(int output, pid_t parent) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);  // the batch died before the line above
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (input >= 0) dup2(input, 0);
  dup2(output, 1);
  dup2(output, 2);
}

}  // namespace

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& logPath, std::string* error) {
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (log < 0) {
    *error = "cannot write the log " + logPath + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> words = arguments;
  std::vector<char*> argv = ArgumentVector(words);
  const pid_t parent = getpid();
  pid = fork();
  if (pid == 0) {
    PrepareChild(log, parent);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  const int forkError = errno;
  close(log);
  if (pid < 0) {
    *error = std::string("cannot start a process: ") + std::strerror(forkError);
    return false;
  }
  return true;
}

bool ChildProcess::Ended() {
  if (pid < 0) return true;
  int status = 0;
  const pid_t done = waitpid(pid, &status, WNOHANG);
  if (done == 0 || (done < 0 && errno == EINTR)) return false;
  if (done == pid && WIFEXITED(status)) exitStatus = WEXITSTATUS(status);
  if (done == pid && WIFSIGNALED(status)) killedBy = WTERMSIG(status);
  pid = -1;
  return true;
}

void ChildProcess::Signal(int signal) const {
  if (pid > 0) kill(pid, signal);
}

std::string ChildProcess::Ending() const {
  if (killedBy != 0) return std::string("killed by SIG") + sigabbrev_np(killedBy);
  if (exitStatus == 127) return "exit status 127 (the program could not be started)";
  // weather ends with 128 + the signal that stopped it.
  if (exitStatus > 128 && exitStatus < 128 + 32) {
    return "exit status " + std::to_string(exitStatus) + " (stopped by SIG" + sigabbrev_np(exitStatus - 128) + ")";
  }
  return "exit status " + std::to_string(exitStatus);
}

bool RunAndCollect(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
                   int* status, std::string* error) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> words = arguments;
  std::vector<char*> argv = ArgumentVector(words);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], 1);
    dup2(pipeEnds[1], 2);
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    *error = std::string("cannot start ") + program + ": " + std::strerror(errno);
    return false;
  }
  output->clear();
  char buffer[4096];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    output->append(buffer, size_t(got));
  }
  close(pipeEnds[0]);
  int wait = 0;
  while (waitpid(child, &wait, 0) < 0 && errno == EINTR) {
  }
  *status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  if (*status == 127) {
    *error = "cannot run " + program + " (is it installed and on PATH?)";
    return false;
  }
  return true;
}

std::string OwnProgram() {
  std::error_code failure;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  return failure ? "/proc/self/exe" : self.string();
}

}  // namespace PatinexCli
