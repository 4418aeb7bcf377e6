// Ctrl-C and friends for the command-line host.
//
// The first SIGINT only counts: the main thread sees the count and asks the
// running import to stop (the session's flag), so the import ends normally
// and cleans up; if it has not within half a second (a driver call that
// does not return), the main thread ends the process (ExitNow) with 130.
// A second SIGINT ends the process at once with 130. SIGTERM,
// SIGHUP and SIGPIPE (a reader of the output went away) end it at once
// too, with 128 + the signal number. Before any immediate exit the handler
// removes the temporary files registered here, so nothing is left behind.
// The handlers restart interrupted system calls (SA_RESTART): a count
// never makes a write fail.
//
// The import's worker thread blocks these signals (runner::RunImport), so
// they always reach the main thread.
//
// Thread safety: InterruptCount may be called from any thread; the
// temporary-path registry from the main thread only (the handler reads it
// at any time).
#pragma once

struct termios;

namespace app::signals {

// Installs the handlers. Call once, early in main.
void Install();

// Number of SIGINTs received so far (0, then 1; the second never returns).
int InterruptCount();

// Ends the process at once with the exit code, as the handler does: the
// terminal settings put back, the registered temporary paths removed, no
// destructor or unload code run (a worker may still be inside them).
[[noreturn]] void ExitNow(int exitCode);

// Temporary paths removed by an immediate exit (file first, then
// directory). Up to four of each are kept; a path longer than the slot is
// not recorded. Forget removes the entry again (use it once the path is
// gone or kept for good).
void RegisterTemporaryFile(const char* path);
void RegisterTemporaryDirectory(const char* path);
void ForgetTemporary(const char* path);

// While the connection form reads a password with echo off, the terminal
// settings to put back if the process ends at once. Null clears it.
void SetTerminalToRestore(int fd, const struct termios* settings);

}  // namespace app::signals
