// How the host shows an import's progress messages (WM_IMPORT_PROGRESS).
//
// On a terminal: one live line, "importing columns · 1234 rows so far ·
// 3.2 s", rewritten in place. Otherwise plain lines, "importing tables" when
// an object type starts and "tables: 42" when it is done; consecutive
// statements of one object type are reported as one.
//
// It is the command line's display of runner::RunImport.
//
// Thread safety: the main thread only (it drains the window's messages).
#pragma once

#include <runner/ImportRunner.h>

#include <chrono>
#include <map>
#include <string>

namespace app {

class Console;

class ProgressView : public runner::ImportDisplay {
 public:
  explicit ProgressView(Console& console);

  // The run starts: shows "connecting".
  void Started() override;
  // Counts progress messages for a test hook (QM_TEST_INTERRUPT_AFTER_PROGRESS).
  void Message(const platform::win::MSG& message) override;
  // An object type started (message with lParam 0).
  void Importing(int objectType) override;
  // An object type is done; count is what the import counted for the type
  // so far in this run.
  void Imported(int objectType, long long count) override;
  // Called regularly while waiting; refreshes the elapsed time.
  void Waiting() override;
  // The user asked to cancel.
  void Cancelling() override;
  // The run is over: prints what is pending and removes the live line.
  void Ended() override;

  // Seconds since Start.
  double Elapsed() const;

 private:
  void Redraw(bool force);
  void FlushPending();

  using Clock = std::chrono::steady_clock;

  Console& m_console;
  Clock::time_point m_start;             // when Start was called
  Clock::time_point m_lastDraw;          // last redraw of the live line
  std::map<int, long long> m_counts;     // object type -> rows counted so far
  int m_current = 0;                     // object type being imported; 0 before the first
  bool m_pending = false;                // plain mode: m_current is done and its count not yet printed
  bool m_cancelling = false;             // Cancelling was called
  long m_interruptAfter = 0;             // test hook: SIGINT after this many progress messages; 0: never
  long m_progressMessages = 0;           // progress messages seen
};

}  // namespace app
