// How the host shows an import's progress messages (WM_IMPORT_PROGRESS).
//
// On a terminal: one live line, "importing columns · 1234 rows so far ·
// 3.2 s", rewritten in place. Otherwise plain lines, "importing tables" when
// an object type starts and "tables: 42" when it is done; consecutive
// statements of one object type are reported as one.
//
// Thread safety: the main thread only (it drains the window's messages).
#pragma once

#include <chrono>
#include <map>
#include <string>

namespace app {

class Console;

class ProgressView {
 public:
  explicit ProgressView(Console& console);

  // The run starts: shows "connecting".
  void Start();
  // An object type started (message with lParam 0).
  void OnImporting(int objectType);
  // An object type is done; count is what the import counted for the type
  // so far in this run.
  void OnImported(int objectType, long long count);
  // Called regularly while waiting; refreshes the elapsed time.
  void Tick();
  // The user asked to cancel.
  void Cancelling();
  // The run is over: prints what is pending and removes the live line.
  void Finish();

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
};

}  // namespace app
