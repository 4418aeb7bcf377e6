// ScopeExit: runs a clean-up step when the scope it guards is left, however
// it is left. The step is told whether an exception is on its way out.
//
// A step that throws while an exception is already on its way is silenced:
// the caller must see the exception that broke the run off, not one raised
// while tidying up after it (two at once would end the process). A step
// that throws on a normal way out throws on to the caller; the guards made
// before it still run.
#pragma once

#include <exception>
#include <utility>

template <typename Step>
class ScopeExit {
 public:
  explicit ScopeExit(Step step) : m_step(std::move(step)), m_exceptionsAtEntry(std::uncaught_exceptions()) {}
  ~ScopeExit() noexcept(false) {
    if (std::uncaught_exceptions() > m_exceptionsAtEntry) {
      try {
        m_step(true);
      } catch (...) {
      }
    } else {
      m_step(false);
    }
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Step m_step;              // called once with "an exception is on its way out"
  int m_exceptionsAtEntry;  // exceptions in flight when the scope was entered
};
