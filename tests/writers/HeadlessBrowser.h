// A real headless Chromium driven through its DevTools protocol over a pipe
// (JSON messages ended by a NUL byte on descriptors 3 and 4), so nothing
// listens on a port; a fresh profile, kept off the network. One thread.
#pragma once

#include <Subprocess.h>
#include <TempDir.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace writers::test {

class HeadlessBrowser {
 public:
  using json = nlohmann::json;
  using Clock = std::chrono::steady_clock;

  // $QM_CHROMIUM, else /usr/bin/chromium; empty when there is none.
  static std::string Executable() {
    const char* chosen = std::getenv("QM_CHROMIUM");
    const std::string path = chosen != nullptr && *chosen != '\0' ? chosen : "/usr/bin/chromium";
    return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
  }

  HeadlessBrowser() {
    const std::string executable = Executable();
    int toBrowser[2], fromBrowser[2];
    if (executable.empty() || ::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) {
      m_failure = "no browser or pipe: " + executable + " " + std::strerror(errno);
      return;
    }
    m_toBrowser = toBrowser[1];
    m_fromBrowser = fromBrowser[0];
    // It reads descriptor 3 and writes 4; one that cannot start closes them.
    m_child = std::make_unique<qm::test::ChildProcess>(
        executable,
        std::vector<std::string>{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                 "--disable-dev-shm-usage", "--user-data-dir=" + m_profile.Path(),
                                 "--remote-debugging-pipe", "about:blank"},
        qm::test::ProcessOptions{}, std::vector<int>{-1, -1, -1, toBrowser[0], fromBrowser[1]});
    ::close(toBrowser[0]);
    ::close(fromBrowser[1]);
    const json target = Command("Target.createTarget", {{"url", "about:blank"}}, true);
    if (!target.contains("targetId")) return;
    const json attached = Command("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}, true);
    if (!attached.contains("sessionId")) return;
    m_session = attached["sessionId"].get<std::string>();
    for (const char* domain : {"Page.enable", "Runtime.enable", "Log.enable", "Network.enable"})
      Command(domain, json::object());
  }

  ~HeadlessBrowser() {
    if (m_child != nullptr) {
      Command("Browser.close", json::object(), true);
      m_child->Wait(10);
    }
    for (int fd : {m_toBrowser, m_fromBrowser})
      if (fd >= 0) ::close(fd);
  }
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  bool Started() const { return !m_session.empty(); }
  const std::string& Failure() const { return m_failure; }
  // Since the last Open: console errors, uncaught exceptions and the
  // browser's error entries (a policy violation too); every URL requested.
  const std::vector<std::string>& Errors() const { return m_errors; }
  const std::vector<std::string>& Requests() const { return m_requests; }

  // Loads the URL and waits up to 60 s for its load event.
  bool Open(const std::string& url) {
    m_errors.clear();
    m_requests.clear();
    m_loaded = false;
    const json navigated = Command("Page.navigate", {{"url", url}});
    if (navigated.is_null() || navigated.contains("errorText")) {
      if (!navigated.is_null()) m_failure = "the page did not load: " + navigated["errorText"].dump();
      return false;
    }
    json event;
    for (const auto deadline = Clock::now() + std::chrono::seconds(60); !m_loaded && Clock::now() < deadline;)
      if (Receive(event, 500)) Handle(event);
    if (!m_loaded) m_failure = "the page's load event did not come within 60 s";
    Evaluate("0");  // what the page logs right after loading comes with this answer
    return m_loaded;
  }

  // The expression's value in the page; a null json and Failure() set when it throws.
  json Evaluate(const std::string& expression) {
    const json result =
        Command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (result.is_null()) return json();
    if (result.contains("exceptionDetails")) {
      m_failure = "the expression threw: " + result["exceptionDetails"].dump();
      return json();
    }
    return result["result"].value("value", json());
  }

  // The window's size in CSS pixels for the pages opened after.
  void SetWindow(int width, int height) {
    Command("Emulation.setDeviceMetricsOverride",
            {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
  }

 private:
  // A command's answer (to the page's session unless toBrowser); events
  // arriving meanwhile are handled.
  json Command(const std::string& method, const json& params, bool toBrowser = false) {
    const int id = m_nextId++;
    json message = {{"id", id}, {"method", method}, {"params", params}};
    if (!toBrowser) message["sessionId"] = m_session;
    const std::string text = message.dump() + '\0';
    for (std::size_t written = 0; written < text.size();) {
      const ssize_t n = ::write(m_toBrowser, text.data() + written, text.size() - written);
      if (n <= 0) {
        m_failure = method + ": the browser's pipe is closed";
        return json();
      }
      written += static_cast<std::size_t>(n);
    }
    json answer;
    for (const auto deadline = Clock::now() + std::chrono::seconds(60); Clock::now() < deadline && !m_closed;) {
      if (!Receive(answer, 1000)) continue;
      if (!answer.contains("id") || answer["id"] != id) {
        Handle(answer);
      } else if (!answer.contains("error")) {
        return answer.value("result", json::object());
      } else {
        m_failure = method + ": " + answer["error"].dump();
        return json();
      }
    }
    m_failure = method + ": no answer from the browser";
    return json();
  }

  // One message; false when none came in time or the pipe closed.
  bool Receive(json& message, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (const std::size_t end = m_buffer.find('\0'); end != std::string::npos) {
        message = json::parse(m_buffer.substr(0, end), nullptr, false);
        m_buffer.erase(0, end + 1);
        return !message.is_discarded();
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd wait{m_fromBrowser, POLLIN, 0};
      if (::poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[65536];
      const ssize_t got = ::read(m_fromBrowser, chunk, sizeof chunk);
      m_closed = got <= 0;  // the browser is gone
      if (m_closed) return false;
      m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
  }

  void Handle(const json& event) {
    const std::string method = event.value("method", "");
    const json params = event.value("params", json::object());
    if (method == "Page.loadEventFired") {
      m_loaded = true;
    } else if (method == "Runtime.exceptionThrown") {
      m_errors.push_back("exception: " + params["exceptionDetails"].dump());
    } else if (method == "Runtime.consoleAPICalled") {
      const std::string type = params.value("type", "");
      if (type == "error" || type == "assert") m_errors.push_back("console." + type + ": " + params["args"].dump());
    } else if (const json entry = params.value("entry", json::object()); entry.value("level", "") == "error") {
      m_errors.push_back("log: " + entry.value("text", ""));
    } else if (method == "Network.requestWillBeSent") {
      m_requests.push_back(params["request"].value("url", ""));
    }
  }

  qm::test::TempDir m_profile;                // a fresh profile; outlives the browser
  std::unique_ptr<qm::test::ChildProcess> m_child;
  int m_toBrowser = -1, m_fromBrowser = -1;
  std::string m_buffer, m_session, m_failure;
  int m_nextId = 1;
  bool m_loaded = false, m_closed = false;
  std::vector<std::string> m_errors, m_requests;
};

}  // namespace writers::test
