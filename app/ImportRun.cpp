#include "ImportRun.h"

#include "Progress.h"
#include "Signals.h"

#include <gatehouse/InterfaceProvider.h>
#include <platform/Win32.h>
#include <schemaimport/SchemaImport.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

namespace app {

namespace {

// Posted by the worker after ReverseEngineerFromDB returned: the last
// message of a run, behind everything the import posted.
constexpr UINT kWorkerDone = WM_USER + 100;

// How long a cancelled import may take to end on its own before it is
// abandoned: a catalogue statement usually ends well within it, a driver
// call that waits for a server or a lock does not.
constexpr auto kCancelGrace = std::chrono::milliseconds(500);

// What the worker leaves for the main thread; shared, since an abandoned
// worker outlives RunImport.
struct WorkerResult {
  std::string exception;          // the exception's message, when threw
  std::atomic<bool> threw{false}; // the run ended with an exception
};

// The host's object explorer. The import resets the session just before it
// tells the explorer that it starts, so that is when the window is handed
// over.
class HostObjectExplorer : public IObjectExplorerInterface {
 public:
  HostObjectExplorer(ISchemaImportSessionState& session, HWND window) : m_session(session), m_window(window) {}
  void OnImportStarting() override {
    m_session.SetNotifyWindow(m_window);
    m_started.store(true);
  }
  void OnImportFinished() override {}
  bool Started() const { return m_started.load(); }

 private:
  ISchemaImportSessionState& m_session;  // the module's session; not owned
  HWND m_window;                         // the host window; owned by RunImport
  std::atomic<bool> m_started{false};    // OnImportStarting was called
};

// Test-only: QM_TEST_INTERRUPT_AFTER_PROGRESS=N makes the host send itself
// SIGINT after the N-th progress message, so tests can cancel an import at
// a known point instead of racing it. 0 (unset) disables it.
long InterruptAfterProgress() {
  const char* value = std::getenv("QM_TEST_INTERRUPT_AFTER_PROGRESS");
  return value == nullptr ? 0 : std::strtol(value, nullptr, 10);
}

}  // namespace

ImportOutcome RunImport(ISchemaImport& api, ISchemaImportSessionState& session, GenericModel& model,
                        ProgressView& progress) {
  ImportOutcome outcome;
  const HWND window = platform::CreateMessageWindow();
  // Heap objects: an abandoned worker may still reach them.
  auto* explorer = new HostObjectExplorer(session, window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(explorer);
  const long interruptAfter = InterruptAfterProgress();
  long progressMessages = 0;

  progress.Start();
  const auto result = std::make_shared<WorkerResult>();
  std::thread worker([result, &api, &model, window] {
    // Signals go to the main thread; the import's system calls are never
    // interrupted by them.
    signals::BlockInThisThread();
    try {
      api.ReverseEngineerFromDB(&model);
    } catch (const std::exception& e) {
      result->exception = e.what();
      result->threw.store(true);
    } catch (...) {
      result->exception = "unknown exception";
      result->threw.store(true);
    }
    PostMessageW(window, kWorkerDone, 0, 0);
  });

  std::optional<std::chrono::steady_clock::time_point> interruptedAt;
  bool done = false;
  while (!done) {
    if (signals::InterruptCount() > 0) {
      const auto now = std::chrono::steady_clock::now();
      if (!interruptedAt) interruptedAt = now;
      outcome.cancelled = true;
      progress.Cancelling();
      // Raised again on every pass: the run's session reset, which may come
      // after the key was pressed, lowers the flag.
      session.RaiseFlag();
      if (now - *interruptedAt >= kCancelGrace) {
        outcome.abandoned = true;
        break;
      }
    }
    const auto wait = interruptedAt ? std::chrono::milliseconds(50) : std::chrono::milliseconds(100);
    const std::optional<MSG> message = platform::WaitMessage(window, wait);
    if (!message) {
      progress.Tick();
      continue;
    }
    switch (message->message) {
      case WM_IMPORT_PROGRESS: {
        const int objectType = static_cast<int>(message->wParam);
        if (message->lParam == 0) {
          progress.OnImporting(objectType);
        } else {
          progress.OnImported(objectType, static_cast<long long>(message->lParam));
        }
        if (interruptAfter > 0 && ++progressMessages == interruptAfter) std::raise(SIGINT);
        break;
      }
      case WM_IMPORT_FINISHED:
        outcome.finished = true;
        break;
      case kWorkerDone:
        done = true;
        break;
      default:
        break;
    }
  }
  if (outcome.abandoned) {
    worker.detach();
    progress.Finish();
    return outcome;
  }
  worker.join();
  // A Ctrl-C that came in after the last look still counts.
  if (signals::InterruptCount() > 0) outcome.cancelled = true;
  progress.Finish();

  InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
  delete explorer;
  platform::DestroyMessageWindow(window);
  outcome.status = session.GetStatus();
  outcome.threw = result->threw.load();
  outcome.exception = result->exception;
  return outcome;
}

}  // namespace app
