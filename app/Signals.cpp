#include "Signals.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace app::signals {

namespace {

constexpr int kSlots = 4;
constexpr int kPathLength = 4096;

// A path the handler may have to remove. `used` is set after the text is
// complete and cleared before the text changes, so the handler never reads
// a half-written path.
struct TemporaryPath {
  std::atomic<bool> used{false};  // the text below is a live path
  char text[kPathLength] = {};    // NUL-terminated path
};

std::atomic<int> g_interrupts{0};
TemporaryPath g_files[kSlots];        // removed with unlink
TemporaryPath g_directories[kSlots];  // removed with rmdir, after the files
std::atomic<int> g_terminalFd{-1};    // terminal whose settings to restore; -1 when none
struct termios g_terminalSettings;    // the settings to restore; valid while g_terminalFd >= 0

void RemoveTemporaries() {
  const int terminal = g_terminalFd.load();
  if (terminal >= 0) ::tcsetattr(terminal, TCSANOW, &g_terminalSettings);
  for (TemporaryPath& file : g_files) {
    if (file.used.load()) ::unlink(file.text);
  }
  for (TemporaryPath& directory : g_directories) {
    if (directory.used.load()) ::rmdir(directory.text);
  }
}

void WriteMessage(const char* text) {
  // write(2) is async-signal-safe; a failed write has nowhere to go.
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
}

extern "C" void OnSignal(int signal) {
  if (signal == SIGINT && g_interrupts.fetch_add(1) == 0) return;
  RemoveTemporaries();
  if (signal == SIGINT) {
    WriteMessage("\ninterrupted\n");
    ::_exit(130);
  }
  ::_exit(128 + signal);
}

void Register(TemporaryPath (&slots)[kSlots], const char* path) {
  if (std::strlen(path) >= static_cast<std::size_t>(kPathLength)) return;
  for (TemporaryPath& slot : slots) {
    if (slot.used.load()) continue;
    std::strncpy(slot.text, path, kPathLength - 1);
    slot.used.store(true);  // published only once the text is complete
    return;
  }
}

}  // namespace

void Install() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A signal that only counts (the first SIGINT) must not fail a system
  // call of the main thread: writing the model to a slow pipe, or the
  // progress to standard error, goes on where it was.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A reader that went away (quillmere-import | head) ends the process as
  // SIGPIPE would, but with the temporary files removed first.
  sigaction(SIGPIPE, &action, nullptr);
}

int InterruptCount() { return g_interrupts.load(); }

void ExitNow(int exitCode) {
  RemoveTemporaries();
  ::_exit(exitCode);
}

void SetTerminalToRestore(int fd, const struct termios* settings) {
  if (settings == nullptr) {
    g_terminalFd.store(-1);
    return;
  }
  g_terminalFd.store(-1);
  g_terminalSettings = *settings;
  g_terminalFd.store(fd);
}

void RegisterTemporaryFile(const char* path) { Register(g_files, path); }
void RegisterTemporaryDirectory(const char* path) { Register(g_directories, path); }

void ForgetTemporary(const char* path) {
  for (TemporaryPath* slots : {g_files, g_directories}) {
    for (int i = 0; i < kSlots; ++i) {
      if (slots[i].used.load() && std::strcmp(slots[i].text, path) == 0) slots[i].used.store(false);
    }
  }
}

}  // namespace app::signals
