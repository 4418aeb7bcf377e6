// One import, run the way a desktop host runs it: ReverseEngineerFromDB on a
// worker thread, and on the calling (host) thread the drain of the host
// window's messages, which drives a display, and the watch for a request to
// cancel, which raises the session's flag so that the import stops reading
// and ends normally. An import that has not ended within a grace period
// after the request (its worker inside a driver call that does not return:
// a server that does not answer, a lock being waited for, a connection
// dialog) is abandoned: RunImport returns at once and leaves the worker
// running, for the host to end the process without unloading anything.
#pragma once

#include <platform/Win32.h>

#include <chrono>
#include <exception>
#include <functional>
#include <string>

class GenericModel;
class ISchemaImport;
class ISchemaImportSessionState;

namespace runner {

// What a host shows of a running import. Every call comes on the thread
// that called RunImport, in this order: Started, then per message
// Message and Importing / Imported / Finished, Waiting between messages,
// Cancelling once when a cancel is first requested, Ended last. The
// terminal's progress line is one display, a test's recorder another.
class ImportDisplay {
 public:
  virtual ~ImportDisplay() = default;
  // The run starts (it connects first).
  virtual void Started() {}
  // Any message posted to the host window, as it arrived.
  virtual void Message(const platform::win::MSG& message) { (void)message; }
  // An object type is being read (WM_IMPORT_PROGRESS with lParam 0).
  virtual void Importing(int objectType) { (void)objectType; }
  // An object type was read; count is what the import counted for the type
  // so far in this run (WM_IMPORT_PROGRESS).
  virtual void Imported(int objectType, long long count) { (void)objectType, (void)count; }
  // The import posted its completion (WM_IMPORT_FINISHED).
  virtual void Finished() {}
  // Nothing arrived for a short while (0.1 s; 0.05 s while cancelling).
  virtual void Waiting() {}
  // The host asked the import to stop.
  virtual void Cancelling() {}
  // The run is over, or abandoned.
  virtual void Ended() {}
};

struct RunControl {
  // Polled on the host's thread between messages and at least every 0.1 s:
  // true asks the import to stop (raising the session's flag, again on
  // every poll, since the run's session reset may come after the request).
  // Once true it is taken as true for the rest of the run. Empty: never.
  std::function<bool()> cancelRequested;
  // How long a cancelled import may take to end on its own before it is
  // abandoned: a catalogue statement usually ends well within it, a driver
  // call that waits for a server or a lock does not.
  std::chrono::milliseconds cancelGrace{500};
};

struct ImportOutcome {
  int status = 0;            // the session's status once the run is over (ImportStatus)
  bool cancelled = false;    // a cancel was requested during the run
  bool abandoned = false;    // ... and the run did not end in time: the worker still runs, and the model,
                             // the module and the plug-in must stay as they are until the process ends
  bool finished = false;     // WM_IMPORT_FINISHED arrived
  bool threw = false;        // the run ended with an exception
  std::string exception;     // its message, when threw
  std::exception_ptr thrown; // the exception itself, when threw
};

// Runs one import into model and returns when it is over, or when it was
// abandoned. Installs the host's object explorer for the run (it hands the
// session the host window when the import starts) and removes it
// afterwards; an abandoned run leaves it, the window and the model to the
// worker. The worker blocks SIGINT, SIGTERM and SIGHUP, so that they reach
// the host's threads and never interrupt the import's system calls.
ImportOutcome RunImport(ISchemaImport& api, ISchemaImportSessionState& session, GenericModel& model,
                        ImportDisplay& display, const RunControl& control = {});

}  // namespace runner
