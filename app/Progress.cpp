#include "Progress.h"

#include "Console.h"

#include <schemaimport/SchemaImport.h>
#include <writers/ObjectTypeWords.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace app {

using writers::ObjectTypeWords;

// Test-only: QM_TEST_INTERRUPT_AFTER_PROGRESS=N makes the host send itself
// SIGINT after the N-th progress message, so tests can cancel an import at
// a known point instead of racing it. 0 (unset) disables it.
ProgressView::ProgressView(Console& console) : m_console(console) {
  if (const char* value = std::getenv("QM_TEST_INTERRUPT_AFTER_PROGRESS")) m_interruptAfter = std::strtol(value, nullptr, 10);
}

void ProgressView::Message(const platform::win::MSG& message) {
  if (message.message != WM_IMPORT_PROGRESS) return;
  if (m_interruptAfter > 0 && ++m_progressMessages == m_interruptAfter) std::raise(SIGINT);
}

void ProgressView::Started() {
  m_start = Clock::now();
  m_console.Status("connecting");
  m_lastDraw = m_start;
}

void ProgressView::Importing(int objectType) {
  if (objectType == m_current) {
    // Another statement of the same object type: one report for all.
    m_pending = false;
    Redraw(false);
    return;
  }
  FlushPending();
  m_current = objectType;
  if (!m_console.IsTerminal()) m_console.Info("importing " + ObjectTypeWords(objectType, true));
  Redraw(true);
}

void ProgressView::Imported(int objectType, long long count) {
  m_counts[objectType] = count;
  if (objectType == m_current) {
    m_pending = true;
  } else if (!m_console.IsTerminal()) {
    m_console.Info(ObjectTypeWords(objectType, true) + ": " + std::to_string(count));
  }
  Redraw(false);
}

void ProgressView::Waiting() { Redraw(false); }

void ProgressView::Cancelling() {
  if (m_cancelling) return;
  m_cancelling = true;
  // Said even with --quiet: the user pressed a key and should see it taken.
  m_console.Raw("cancelling the import (press Ctrl-C again to stop at once)\n");
  Redraw(true);
}

void ProgressView::Ended() {
  FlushPending();
  m_console.ClearStatus();
}

double ProgressView::Elapsed() const {
  return std::chrono::duration<double>(Clock::now() - m_start).count();
}

void ProgressView::FlushPending() {
  if (!m_pending) return;
  m_pending = false;
  if (!m_console.IsTerminal()) {
    m_console.Info(ObjectTypeWords(m_current, true) + ": " + std::to_string(m_counts[m_current]));
  }
}

void ProgressView::Redraw(bool force) {
  if (!m_console.IsTerminal() || m_console.IsQuiet()) return;
  const Clock::time_point now = Clock::now();
  if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
  m_lastDraw = now;
  long long rows = 0;
  for (const auto& [type, count] : m_counts) rows += count;
  std::string line = m_cancelling ? "cancelling" : m_current == 0 ? "connecting"
                                                                   : "importing " + ObjectTypeWords(m_current, true);
  if (rows > 0) line += " \u00b7 " + std::to_string(rows) + (rows == 1 ? " row so far" : " rows so far");
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, " \u00b7 %.1f s", Elapsed());
  line += elapsed;
  m_console.Status(line);
}

}  // namespace app
