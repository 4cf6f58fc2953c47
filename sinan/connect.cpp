#include "sinan/connect.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

namespace SINAN {

namespace {

// Work space of one reentrant host look-up.
constexpr size_t kLookupBuffer = 8192;

bool SetOptions(int fd, timeval& timeout) {
  int on = 1;
  return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
         setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
         setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) == 0 &&
         setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) == 0 &&
         setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) == 0;
}

bool SetBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

// Waits for a non-blocking connect to finish.
bool AwaitConnected(int fd, const timeval& timeout) {
  pollfd pfd;
  pfd.fd = fd;
  pfd.events = POLLOUT;
  pfd.revents = 0;
  int ms = static_cast<int>(timeout.tv_sec * 1000 + timeout.tv_usec / 1000);
  if (poll(&pfd, 1, ms) != 1) return false;
  int err = 0;
  socklen_t len = sizeof(err);
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
}

}  // namespace

bool LookupIPv4(const char* host, in_addr* addr) {
  if (inet_pton(AF_INET, host, addr) == 1) return true;
  hostent entry;
  hostent* result = nullptr;
  char work[kLookupBuffer];
  int herr = 0;
  if (gethostbyname_r(host, &entry, work, sizeof(work), &result, &herr) != 0 || result == nullptr ||
      result->h_addrtype != AF_INET || result->h_addr_list[0] == nullptr) {
    return false;
  }
  memcpy(addr, result->h_addr_list[0], sizeof(*addr));
  return true;
}

int Connect(const char* host, int port, timeval& timeout) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in to;
  memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (!SetOptions(fd, timeout) || !SetBlocking(fd, false) || !LookupIPv4(host, &to.sin_addr)) {
    close(fd);
    return -1;
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0 &&
      (errno != EINPROGRESS || !AwaitConnected(fd, timeout))) {
    close(fd);
    return -1;
  }
  if (!SetBlocking(fd, true)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace SINAN
