// A real headless Chromium for the page tests, driven through its DevTools
// protocol over a pipe (--remote-debugging-pipe: JSON messages ended by a
// NUL byte on descriptors 3 and 4), so nothing listens on a port. The
// browser gets a fresh profile in a temporary folder and the flags that
// keep it off the network (no background networking, no updates, no sync).
//
// Thread safety: one test thread.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace writers::test {

class HeadlessBrowser {
 public:
  // The browser to run: $QM_CHROMIUM, else /usr/bin/chromium; empty when
  // there is none.
  static std::string Executable();

  // Starts the browser; Started() tells whether it answers, Failure() why not.
  HeadlessBrowser();
  ~HeadlessBrowser();
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  bool Started() const { return m_session.size() > 0; }
  const std::string& Failure() const { return m_failure; }

  // Loads the URL in the browser's page and waits for its load event.
  // Returns false (see Failure) when it does not load within 60 s.
  bool Open(const std::string& url);

  // The value of a JavaScript expression in the page (returnByValue); a
  // null json and Failure() set when it throws.
  nlohmann::json Evaluate(const std::string& expression);

  // What the page reported as errors since it was opened: console errors,
  // uncaught exceptions, and the browser's own error entries (a refused
  // script, a resource that failed to load, a Content-Security-Policy
  // violation).
  const std::vector<std::string>& Errors() const { return m_errors; }
  // Every URL the page requested since it was opened.
  const std::vector<std::string>& Requests() const { return m_requests; }

  // Sets the window's size in CSS pixels for the pages opened after.
  void SetWindow(int width, int height);

  // A PNG of the page as shown, full page width x height in CSS pixels.
  std::string Screenshot(int width, int height);

 private:
  // Sends a command (to the page's session unless toBrowser) and waits for
  // its answer, handling the events that arrive meanwhile.
  nlohmann::json Command(const std::string& method, const nlohmann::json& params, bool toBrowser = false);
  // Reads one message; false when none came in time or the pipe closed.
  bool Receive(nlohmann::json& message, int timeoutMs);
  void Handle(const nlohmann::json& event);

  int m_pid = -1;                     // the browser process
  int m_toBrowser = -1;               // our end of its descriptor 3
  int m_fromBrowser = -1;             // our end of its descriptor 4
  std::string m_profile;              // the fresh --user-data-dir, removed at the end
  std::string m_buffer;               // bytes read but not yet a whole message
  std::string m_session;              // the page's DevTools session id
  int m_nextId = 1;                   // id of the next command
  bool m_loaded = false;              // Page.loadEventFired seen since the last Open
  std::vector<std::string> m_errors;  // see Errors()
  std::vector<std::string> m_requests;
  std::string m_failure;
};

}  // namespace writers::test
