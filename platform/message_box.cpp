#include "platform/message_box.h"

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/display_environment.h"
#include "platform/window.h"
#include "platform_os/exit_removals.h"

namespace Platform {

std::string WithoutMnemonics(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') shown += '&', ++i;
      continue;
    }
    shown += text[i];
  }
  return shown;
}

namespace {

Uint32 IconFlags(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error: return SDL_MESSAGEBOX_ERROR;
    case MessageBoxIcon::Warning: return SDL_MESSAGEBOX_WARNING;
    case MessageBoxIcon::Information:
    case MessageBoxIcon::Question: return SDL_MESSAGEBOX_INFORMATION;
    case MessageBoxIcon::None: break;
  }
  return 0;
}

// While a box is shown the program waits for it, and SDL shows it from a child process that waits
// for the user alone: a signal to end the program would be noted and never acted on. These
// signals end it instead, the box's process with it.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<int> signalDuringBox{0};

extern "C" void OnSignalDuringBox(int signal) { signalDuringBox.store(signal, std::memory_order_relaxed); }

// The processes this one started: SDL's box, when it shows it from a child.
void EndChildProcesses() {
  const std::string parent = std::to_string(::getpid());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::FILE* stat = std::fopen((entry.path() / "stat").c_str(), "r");
    if (stat == nullptr) continue;
    char line[512] = {};
    const size_t got = std::fread(line, 1, sizeof line - 1, stat);
    std::fclose(stat);
    // "pid (name) state ppid ...": the name may hold spaces and parentheses, the last ')' ends it.
    const std::string text(line, got);
    const size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parentPid = 0;
    if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parentPid) == 2 && std::to_string(parentPid) == parent) {
      ::kill(std::stoi(pid), SIGKILL);
    }
  }
}

// Ends the program as the signal does, with its box and its unfinished files gone.
[[noreturn]] void EndWithSignal(int signal) {
  EndChildProcesses();
  RemoveExitRemovals();
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  ::raise(signal);
  std::_Exit(128 + signal);
}

// Installs OnSignalDuringBox for the box's time (a signal the program ignores stays ignored) and
// puts the earlier handling back.
class SignalsDuringBox {
public:
  SignalsDuringBox() {
    signalDuringBox.store(0, std::memory_order_relaxed);
    struct sigaction action = {};
    action.sa_handler = OnSignalDuringBox;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
      sigaction(kEndingSignals[i], nullptr, &previous[i]);
      if (previous[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &action, nullptr);
    }
  }
  ~SignalsDuringBox() {
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &previous[i], nullptr);
  }
  SignalsDuringBox(const SignalsDuringBox&) = delete;
  SignalsDuringBox& operator=(const SignalsDuringBox&) = delete;

private:
  struct sigaction previous[std::size(kEndingSignals)] = {};
};

// Shows the box on a thread of its own while this one watches for a signal to end the program.
int ShowWatchingSignals(const SDL_MessageBoxData& box) {
  const SignalsDuringBox signals;
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  int pressed = -1, result = -1;
  std::thread shower([&] {
    const int shown = SDL_ShowMessageBox(&box, &pressed);
    const std::lock_guard<std::mutex> lock(mutex);
    result = shown;
    done = true;
    answered.notify_one();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!done) {
      if (const int signal = signalDuringBox.load(std::memory_order_relaxed)) EndWithSignal(signal);
      answered.wait_for(lock, std::chrono::milliseconds(20));
    }
  }
  shower.join();
  if (const int signal = signalDuringBox.load(std::memory_order_relaxed)) EndWithSignal(signal);
  return result == 0 ? pressed : -1;
}

}  // namespace

int ShowMessageBox(Window* parent, const std::string& title, const std::string& text, MessageBoxIcon icon,
                   const std::vector<std::string>& buttons, int enterButton, int escapeButton) {
  // Without a display SDL would still start helper programs, only to have them fail.
  if (!parent && !VideoDriverChosen() && NamedDisplays().empty()) return -1;
  std::vector<std::string> labels;
  for (const std::string& button : buttons) labels.push_back(WithoutMnemonics(button));
  if (labels.empty()) labels.push_back("OK");
  std::vector<SDL_MessageBoxButtonData> data(labels.size());
  if (escapeButton < 0 && labels.size() == 1) escapeButton = 0;
  for (size_t i = 0; i < labels.size(); ++i) {
    data[i].buttonid = static_cast<int>(i);
    data[i].text = labels[i].c_str();
    data[i].flags = 0;
    if (static_cast<int>(i) == enterButton) data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (static_cast<int>(i) == escapeButton) data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  }
  SDL_MessageBoxData box{};
  box.flags = IconFlags(icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.window = parent ? parent->SdlWindow() : nullptr;
  box.title = title.c_str();
  box.message = text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  const int pressed = ShowWatchingSignals(box);
  return pressed >= 0 && pressed < static_cast<int>(data.size()) ? pressed : -1;
}

}  // namespace Platform
