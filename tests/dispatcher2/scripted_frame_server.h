// Loopback TCP server for tests: takes connections one after another; the
// n-th connection answers its request frames in turn with the byte strings
// of script n (raw, so they may be malformed; an empty string closes the
// connection without answering), then waits for the peer to close. Every
// wait is bounded.
#ifndef TESTS_DISPATCHER2_SCRIPTED_FRAME_SERVER_H_
#define TESTS_DISPATCHER2_SCRIPTED_FRAME_SERVER_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class ScriptedFrameServer {
 public:
  static constexpr int kWaitMs = 5000;

  typedef std::vector<std::string> Script;

  explicit ScriptedFrameServer(std::vector<Script> scripts) : m_scripts(std::move(scripts)) {
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    listen(m_listen, 8);
    socklen_t len = sizeof(addr);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~ScriptedFrameServer() {
    m_stop = true;
    m_thread.join();
    close(m_listen);
  }
  int Port() const { return m_port; }
  int Answered() const { return m_answered; }

 private:
  static bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, kWaitMs) == 1;
  }
  static bool ReadFull(int fd, char* buf, size_t n) {
    while (n > 0) {
      if (!Readable(fd)) return false;
      ssize_t got = read(fd, buf, n);
      if (got <= 0) return false;
      buf += got;
      n -= static_cast<size_t>(got);
    }
    return true;
  }
  bool Answer(int fd, const std::string& reply) {
    unsigned char len[4];
    if (!ReadFull(fd, reinterpret_cast<char*>(len), 4)) return false;
    std::string body((len[0] << 24) | (len[1] << 16) | (len[2] << 8) | len[3], '\0');
    if (!ReadFull(fd, &body[0], body.size())) return false;
    if (reply.empty() || write(fd, reply.data(), reply.size()) < 0) return false;
    ++m_answered;
    return true;
  }
  void Play(int fd, const Script& script) {
    for (const std::string& reply : script) {
      if (!Answer(fd, reply)) return;
    }
    char sink[256];
    while (Readable(fd) && read(fd, sink, sizeof(sink)) > 0) {
    }
  }
  void Serve() {
    for (size_t next = 0; !m_stop && next < m_scripts.size();) {
      pollfd p{m_listen, POLLIN, 0};
      if (poll(&p, 1, 100) != 1) continue;
      int fd = accept(m_listen, nullptr, nullptr);
      if (fd < 0) continue;
      Play(fd, m_scripts[next++]);
      close(fd);
    }
  }

  std::vector<Script> m_scripts;
  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_answered{0};
  std::thread m_thread;
};

#endif  // TESTS_DISPATCHER2_SCRIPTED_FRAME_SERVER_H_
