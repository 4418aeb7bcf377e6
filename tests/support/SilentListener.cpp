#include "SilentListener.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qm::test {

int UnusedLoopbackPort() {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (!bound) ADD_FAILURE() << "cannot bind a port on 127.0.0.1: " << std::strerror(errno);
  if (probe >= 0) ::close(probe);
  return bound ? ntohs(address.sin_port) : 0;
}

SilentListener::SilentListener() {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listenFd, 16) != 0 ||
      ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1: " << std::strerror(errno);
    return;
  }
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Accept(); });
}

SilentListener::~SilentListener() {
  if (m_thread.joinable()) {
    const char stop = 's';
    [[maybe_unused]] ssize_t ignored = ::write(m_wake[1], &stop, 1);
    m_thread.join();
  }
  for (int fd : {m_listenFd, m_wake[0], m_wake[1]})
    if (fd >= 0) ::close(fd);
  for (int fd : m_accepted) ::close(fd);
}

bool SilentListener::WaitForConnections(int count, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return static_cast<int>(m_accepted.size()) >= count; });
}

void SilentListener::Accept() {
  for (;;) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard lock(m_mutex);
      m_accepted.push_back(fd);
    }
    m_changed.notify_all();
  }
}

}  // namespace qm::test
