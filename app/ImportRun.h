// One import, run the way a desktop host runs it: ReverseEngineerFromDB on a
// worker thread, and on the calling (main) thread the drain of the host
// window's messages, which drives the progress view, and the watch for
// Ctrl-C, which raises the session's flag so the import stops reading and
// ends normally. An import that has not ended half a second after Ctrl-C
// (its worker inside a driver call that does not return: a server that does
// not answer, a lock being waited for, the connection form) is abandoned:
// RunImport returns at once and the worker is left running, for the caller
// to end the process.
#pragma once

#include <string>

class GenericModel;
class ISchemaImport;
class ISchemaImportSessionState;

namespace app {

class ProgressView;

struct ImportOutcome {
  int status = 0;            // the session's status once the run is over (ImportStatus)
  bool cancelled = false;    // Ctrl-C arrived during the run
  bool abandoned = false;    // ... and the run did not end in time: the worker still runs, the
                             // process must end without unloading anything (signals::ExitNow)
  bool finished = false;     // WM_IMPORT_FINISHED arrived
  bool threw = false;        // the run ended with an exception
  std::string exception;     // its message, when threw
};

// Runs one import into model and returns when it is over, or when it was
// abandoned. Installs the host's object explorer for the run (it hands the
// session the window when the import starts) and removes it afterwards;
// an abandoned run leaves it, the window and the model to the worker.
ImportOutcome RunImport(ISchemaImport& api, ISchemaImportSessionState& session, GenericModel& model,
                        ProgressView& progress);

}  // namespace app
