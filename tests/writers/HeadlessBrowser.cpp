#include "HeadlessBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace writers::test {

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

// A descriptor moved above the ones the child is given (3, 4), closed on exec.
int High(int fd) {
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return moved;
}

}  // namespace

std::string HeadlessBrowser::Executable() {
  const char* chosen = std::getenv("QM_CHROMIUM");
  const std::string path = chosen != nullptr && *chosen != '\0' ? chosen : "/usr/bin/chromium";
  return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

HeadlessBrowser::HeadlessBrowser() {
  const std::string executable = Executable();
  if (executable.empty()) {
    m_failure = "no browser: /usr/bin/chromium is not installed (scripts/setup installs it)";
    return;
  }
  char pattern[] = "/tmp/qm-browser.XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    m_failure = std::string("no profile folder: ") + std::strerror(errno);
    return;
  }
  m_profile = pattern;
  int toBrowser[2];
  int fromBrowser[2];
  if (::pipe(toBrowser) != 0 || ::pipe(fromBrowser) != 0) {
    m_failure = std::string("no pipe: ") + std::strerror(errno);
    return;
  }
  const int childIn = High(toBrowser[0]);
  m_toBrowser = High(toBrowser[1]);
  m_fromBrowser = High(fromBrowser[0]);
  const int childOut = High(fromBrowser[1]);

  std::vector<std::string> args = {executable,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--disable-dev-shm-usage",
                                   "--user-data-dir=" + m_profile,
                                   "--remote-debugging-pipe",
                                   "about:blank"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childIn, 3);
  posix_spawn_file_actions_adddup2(&actions, childOut, 4);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(childIn);
  ::close(childOut);
  if (spawned != 0) {
    m_failure = executable + " could not be started: " + std::strerror(spawned);
    return;
  }
  m_pid = pid;

  const json target = Command("Target.createTarget", {{"url", "about:blank"}}, true);
  if (!target.contains("targetId")) {
    m_failure = "the browser opened no page: " + m_failure;
    return;
  }
  const json attached = Command("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}, true);
  if (!attached.contains("sessionId")) {
    m_failure = "the browser's page did not attach: " + m_failure;
    return;
  }
  m_session = attached["sessionId"].get<std::string>();
  for (const char* domain : {"Page.enable", "Runtime.enable", "Log.enable", "Network.enable"}) Command(domain, json::object());
}

HeadlessBrowser::~HeadlessBrowser() {
  if (m_pid > 0) {
    if (m_toBrowser >= 0) Command("Browser.close", json::object(), true);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        break;
      }
      ::usleep(20000);
    }
  }
  if (m_toBrowser >= 0) ::close(m_toBrowser);
  if (m_fromBrowser >= 0) ::close(m_fromBrowser);
  if (!m_profile.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_profile, ignored);
  }
}

bool HeadlessBrowser::Receive(json& message, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t end = m_buffer.find('\0');
    if (end != std::string::npos) {
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
    if (got <= 0) return false;
    m_buffer.append(chunk, static_cast<std::size_t>(got));
  }
}

void HeadlessBrowser::Handle(const json& event) {
  const std::string method = event.value("method", "");
  const json params = event.value("params", json::object());
  if (method == "Page.loadEventFired") {
    m_loaded = true;
  } else if (method == "Runtime.exceptionThrown") {
    m_errors.push_back("exception: " + params["exceptionDetails"].dump());
  } else if (method == "Runtime.consoleAPICalled") {
    const std::string type = params.value("type", "");
    if (type == "error" || type == "assert") m_errors.push_back("console." + type + ": " + params["args"].dump());
  } else if (method == "Log.entryAdded") {
    const json entry = params.value("entry", json::object());
    if (entry.value("level", "") == "error") m_errors.push_back("log: " + entry.value("text", ""));
  } else if (method == "Network.requestWillBeSent") {
    m_requests.push_back(params["request"].value("url", ""));
  }
}

json HeadlessBrowser::Command(const std::string& method, const json& params, bool toBrowser) {
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
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < deadline) {
    if (!Receive(answer, 1000)) {
      if (::waitpid(m_pid, nullptr, WNOHANG) != 0) break;
      continue;
    }
    if (answer.contains("id") && answer["id"] == id) {
      if (answer.contains("error")) {
        m_failure = method + ": " + answer["error"].dump();
        return json();
      }
      return answer.value("result", json::object());
    }
    Handle(answer);
  }
  m_failure = method + ": no answer from the browser";
  return json();
}

bool HeadlessBrowser::Open(const std::string& url) {
  m_errors.clear();
  m_requests.clear();
  m_loaded = false;
  const json navigated = Command("Page.navigate", {{"url", url}});
  if (navigated.is_null()) return false;
  if (navigated.contains("errorText")) {
    m_failure = "the page did not load: " + navigated["errorText"].get<std::string>();
    return false;
  }
  json event;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!m_loaded && Clock::now() < deadline) {
    if (Receive(event, 500)) Handle(event);
  }
  if (!m_loaded) m_failure = "the page's load event did not come within 60 s";
  // Messages the page logs right after its load event arrive with the
  // next commands; a round trip collects them.
  Evaluate("0");
  return m_loaded;
}

json HeadlessBrowser::Evaluate(const std::string& expression) {
  const json result =
      Command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
  if (result.is_null()) return json();
  if (result.contains("exceptionDetails")) {
    m_failure = "the expression threw: " + result["exceptionDetails"].dump();
    return json();
  }
  return result["result"].value("value", json());
}

void HeadlessBrowser::SetWindow(int width, int height) {
  Command("Emulation.setDeviceMetricsOverride",
          {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

std::string HeadlessBrowser::Screenshot(int width, int height) {
  SetWindow(width, height);
  const json shot = Command("Page.captureScreenshot", {{"format", "png"}});
  if (!shot.contains("data")) return {};
  // Base64 to bytes.
  const std::string text = shot["data"].get<std::string>();
  std::string bytes;
  int value = 0;
  int bits = -8;
  for (char c : text) {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = std::strchr(alphabet, c);
    if (at == nullptr || c == '\0') continue;
    value = ((value << 6) | static_cast<int>(at - alphabet)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 0) {
      bytes += static_cast<char>((value >> bits) & 0xFF);
      bits -= 8;
    }
  }
  return bytes;
}

}  // namespace writers::test
