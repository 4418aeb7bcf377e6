// A TCP listener on 127.0.0.1 that accepts on a thread and never answers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qm::test {

class SilentListener {
 public:
  // On a free port; a failure fails the test (Port() is 0).
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  int Port() const { return m_port; }
  // Whether count connections were accepted within limit.
  bool WaitForConnections(int count, std::chrono::milliseconds limit);

 private:
  void Accept();

  int m_port = 0;                  // the port listened on; 0 when listening failed
  int m_listenFd = -1;             // the listening socket
  int m_wake[2] = {-1, -1};        // a pipe that tells the thread to stop
  std::mutex m_mutex;              // guards m_accepted
  std::condition_variable m_changed;  // signalled for each accepted connection
  std::vector<int> m_accepted;     // open connections, never read or written
  std::thread m_thread;            // runs Accept
};

// A port on 127.0.0.1 the kernel just handed out, closed again (0: failed).
int UnusedLoopbackPort();

}  // namespace qm::test
