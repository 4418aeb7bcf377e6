#include <platform/Win32.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

// The platform's own Windows names, privately (Types.h says why they live in a namespace).
using namespace platform::win;

namespace {

struct MessageQueue {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<MSG> messages;
  bool destroyed = false;  // set once by DestroyMessageWindow; wakes waiters for good
};

// All message windows of the process. Handles are small numbers that are
// never reused, so a stale handle can never reach a newer window.
struct WindowTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<MessageQueue>> queues;
  std::uintptr_t nextId = 0x100;

  std::shared_ptr<MessageQueue> Find(HWND window) {
    std::lock_guard lock(mutex);
    auto it = queues.find(reinterpret_cast<std::uintptr_t>(window));
    return it == queues.end() ? nullptr : it->second;
  }
};

WindowTable& Windows() {
  // Never destroyed: posts may come from threads that outlive static
  // destruction at process exit.
  static auto* table = new WindowTable;
  return *table;
}

constexpr std::uintptr_t kDesktopWindow = 0x10;

}  // namespace

BOOL platform::win::PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr) return FALSE;
  auto queue = Windows().Find(window);
  if (!queue) return FALSE;
  {
    std::lock_guard lock(queue->mutex);
    queue->messages.push_back(MSG{window, message, wParam, lParam});
  }
  queue->arrived.notify_all();
  return TRUE;
}

HWND platform::win::GetDesktopWindow() { return reinterpret_cast<HWND>(kDesktopWindow); }

void platform::win::Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace platform {

HWND CreateMessageWindow() {
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  const std::uintptr_t id = table.nextId++;
  table.queues.emplace(id, std::make_shared<MessageQueue>());
  return reinterpret_cast<HWND>(id);
}

void DestroyMessageWindow(HWND window) {
  auto& table = Windows();
  std::shared_ptr<MessageQueue> queue;
  {
    std::lock_guard lock(table.mutex);
    auto it = table.queues.find(reinterpret_cast<std::uintptr_t>(window));
    if (it == table.queues.end()) return;
    queue = std::move(it->second);
    table.queues.erase(it);
  }
  std::lock_guard lock(queue->mutex);
  queue->messages.clear();
  queue->destroyed = true;
  queue->arrived.notify_all();
}

std::optional<MSG> WaitMessage(HWND window, std::chrono::milliseconds timeout) {
  auto queue = Windows().Find(window);
  if (!queue) return std::nullopt;
  std::unique_lock lock(queue->mutex);
  // A thread waiting when the window is destroyed returns at once rather
  // than sleeping out its timeout on a queue nothing can reach any more.
  queue->arrived.wait_for(lock, timeout, [&] { return queue->destroyed || !queue->messages.empty(); });
  if (queue->destroyed || queue->messages.empty()) return std::nullopt;
  MSG msg = queue->messages.front();
  queue->messages.pop_front();
  return msg;
}

std::optional<MSG> PeekMessage(HWND window) { return WaitMessage(window, std::chrono::milliseconds(0)); }

}  // namespace platform
