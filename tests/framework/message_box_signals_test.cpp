// A window program waiting in a message box ends on SIGTERM, SIGINT and SIGHUP, and the box's
// own process goes with it: the built framework-demo, started where it finds no media, waits in
// its "Could not find required media." box.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef PATINEX_FRAMEWORK_DEMO

namespace {

namespace fs = std::filesystem;

// A child process of parent (its first), 0 when it has none.
pid_t ChildOf(pid_t parent) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t close = line.rfind(')');
    char state = 0;
    int parentPid = 0;
    if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parentPid) == 2 &&
        parentPid == parent && state != 'Z') {
      return pid_t(std::stoi(entry.path().filename().string()));
    }
  }
  return 0;
}

// Gone, or a zombie nobody has reaped yet.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

TEST(MessageBoxSignals, EndTheProgramAndItsBox) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  const fs::path folder = fs::path(::testing::TempDir()) / ("message_box_signals_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  // A copy away from the build tree finds no media beside it either.
  fs::copy_file(PATINEX_FRAMEWORK_DEMO, folder / "framework-demo", fs::copy_options::overwrite_existing);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
      for (const int reset : {SIGTERM, SIGINT, SIGHUP}) ::signal(reset, SIG_DFL);
      if (::chdir(folder.c_str()) != 0 || !std::freopen("output", "w", stdout) || !std::freopen("errors", "w", stderr)) {
        std::_Exit(90);
      }
      ::execl("./framework-demo", "framework-demo", static_cast<char*>(nullptr));
      std::_Exit(91);
    }
    pid_t box = 0;
    for (int attempt = 0; attempt < 150 && box == 0; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      box = ChildOf(program);
    }
    EXPECT_NE(box, 0) << "no box was shown";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(program, signal);
    int status = 0;
    pid_t ended = 0;
    for (int attempt = 0; attempt < 100 && ended == 0; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      ended = ::waitpid(program, &status, WNOHANG);
    }
    if (ended == 0) {
      ADD_FAILURE() << "the program still waits in its box 5 s after the signal";
      ::kill(program, SIGKILL);
      ::waitpid(program, &status, 0);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    for (int attempt = 0; attempt < 40 && box != 0 && !Ended(box); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (box != 0 && !Ended(box)) {
      ADD_FAILURE() << "the box's process outlived the program";
      ::kill(box, SIGKILL);
    }
  }
  fs::remove_all(folder);
}

}  // namespace

#endif  // PATINEX_FRAMEWORK_DEMO
