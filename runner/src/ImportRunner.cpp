#include <runner/ImportRunner.h>

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/SchemaImport.h>

#include <pthread.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>

// The Windows names the host's message loop is written against, privately.
using namespace platform::win;

namespace runner {

namespace {

// Posted by the worker after ReverseEngineerFromDB returned: the last
// message of a run, behind everything the import posted.
constexpr UINT kWorkerDone = WM_USER + 100;

// What the worker leaves for the host's thread; shared, since an abandoned
// worker outlives RunImport.
struct WorkerResult {
  std::string exception;           // the exception's message, when threw
  std::exception_ptr thrown;       // the exception, when threw
  std::atomic<bool> threw{false};  // the run ended with an exception (set after the two above)
};

// The host's object explorer. The import resets the session just before it
// tells the explorer that it starts, so that is when the window is handed
// over.
class HostObjectExplorer : public IObjectExplorerInterface {
 public:
  HostObjectExplorer(ISchemaImportSessionState& session, HWND window) : m_session(session), m_window(window) {}
  void OnImportStarting() override { m_session.SetNotifyWindow(m_window); }
  void OnImportFinished() override {}

 private:
  ISchemaImportSessionState& m_session;  // the module's session; not owned
  HWND m_window;                         // the host window; owned by RunImport
};

// Signals go to the host's threads; the import's system calls are never
// interrupted by them.
void BlockHostSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace

ImportOutcome RunImport(ISchemaImport& api, ISchemaImportSessionState& session, GenericModel& model,
                        ImportDisplay& display, const RunControl& control) {
  ImportOutcome outcome;
  const HWND window = platform::CreateMessageWindow();
  // Heap objects: an abandoned worker may still reach them.
  auto* explorer = new HostObjectExplorer(session, window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(explorer);

  display.Started();
  const auto result = std::make_shared<WorkerResult>();
  std::thread worker([result, &api, &model, window] {
    BlockHostSignals();
    try {
      api.ReverseEngineerFromDB(&model);
    } catch (const std::exception& e) {
      result->exception = e.what();
      result->thrown = std::current_exception();
      result->threw.store(true);
    } catch (...) {
      result->exception = "unknown exception";
      result->thrown = std::current_exception();
      result->threw.store(true);
    }
    PostMessageW(window, kWorkerDone, 0, 0);
  });

  auto cancelRequested = [&] { return outcome.cancelled || (control.cancelRequested && control.cancelRequested()); };
  std::optional<std::chrono::steady_clock::time_point> cancelledAt;
  bool done = false;
  while (!done) {
    if (cancelRequested()) {
      const auto now = std::chrono::steady_clock::now();
      if (!cancelledAt) {
        cancelledAt = now;
        outcome.cancelled = true;
        display.Cancelling();
      }
      // Raised again on every pass: the run's session reset, which may come
      // after the request, lowers the flag.
      session.RaiseFlag();
      if (now - *cancelledAt >= control.cancelGrace) {
        outcome.abandoned = true;
        break;
      }
    }
    const auto wait = cancelledAt ? std::chrono::milliseconds(50) : std::chrono::milliseconds(100);
    const std::optional<MSG> message = platform::WaitMessage(window, wait);
    if (!message) {
      display.Waiting();
      continue;
    }
    if (message->message == kWorkerDone) {
      done = true;
      continue;
    }
    display.Message(*message);
    if (message->message == WM_IMPORT_PROGRESS) {
      const int objectType = static_cast<int>(message->wParam);
      if (message->lParam == 0) {
        display.Importing(objectType);
      } else {
        display.Imported(objectType, static_cast<long long>(message->lParam));
      }
    } else if (message->message == WM_IMPORT_FINISHED) {
      outcome.finished = true;
      display.Finished();
    }
  }
  if (outcome.abandoned) {
    worker.detach();
    display.Ended();
    return outcome;
  }
  worker.join();
  // A request that came in after the last look still counts.
  if (cancelRequested()) outcome.cancelled = true;
  display.Ended();

  InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
  delete explorer;
  platform::DestroyMessageWindow(window);
  outcome.status = session.GetStatus();
  outcome.threw = result->threw.load();
  outcome.exception = result->exception;
  outcome.thrown = result->thrown;
  return outcome;
}

}  // namespace runner
