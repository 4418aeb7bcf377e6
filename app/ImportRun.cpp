#include "ImportRun.h"

#include "Progress.h"
#include "Signals.h"

#include <gatehouse/InterfaceProvider.h>
#include <platform/Win32.h>
#include <schemaimport/SchemaImport.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <thread>

namespace app {

namespace {

// Posted by the worker after ReverseEngineerFromDB returned: the last
// message of a run, behind everything the import posted.
constexpr UINT kWorkerDone = WM_USER + 100;

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
  HostObjectExplorer explorer(session, window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);
  const long interruptAfter = InterruptAfterProgress();
  long progressMessages = 0;

  progress.Start();
  std::string exceptionText;
  std::atomic<bool> threw{false};
  std::thread worker([&] {
    // Signals go to the main thread; the import's system calls are never
    // interrupted by them.
    signals::BlockInThisThread();
    try {
      api.ReverseEngineerFromDB(&model);
    } catch (const std::exception& e) {
      exceptionText = e.what();
      threw.store(true);
    } catch (...) {
      exceptionText = "unknown exception";
      threw.store(true);
    }
    PostMessageW(window, kWorkerDone, 0, 0);
  });

  bool done = false;
  while (!done) {
    if (signals::InterruptCount() > 0) {
      outcome.cancelled = true;
      progress.Cancelling();
      // Raised again on every pass: the run's session reset, which may come
      // after the key was pressed, lowers the flag.
      session.RaiseFlag();
    }
    const std::optional<MSG> message = platform::WaitMessage(window, std::chrono::milliseconds(100));
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
  worker.join();
  // A Ctrl-C that came in after the last look still counts.
  if (signals::InterruptCount() > 0) outcome.cancelled = true;
  progress.Finish();

  InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
  platform::DestroyMessageWindow(window);
  outcome.status = session.GetStatus();
  outcome.threw = threw.load();
  outcome.exception = exceptionText;
  return outcome;
}

}  // namespace app
