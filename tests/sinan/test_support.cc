#include "test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <sstream>

#include "log_capture.h"

namespace crawler_test {

namespace {

constexpr int kSimStartMs = 10000;
const char kListening[] = "listening ";

}  // namespace

std::string WriteIn(const TempDir& dir, const std::string& name, const std::string& content) {
  std::string file = dir.File(name);
  testsupport::WriteFile(file, content);
  return file;
}

int BindLoopback(int type, int& port) {
  int fd = socket(AF_INET, type, 0);
  sockaddr_in addr;
  memset(&addr, 0, sizeof(addr));
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

int CountLines(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::string got;
  int n = 0;
  while (std::getline(in, got)) n += got == line;
  return n;
}

bool SinanSim::Start(const TempDir& dir, const std::string& hosts,
                     const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {CRAWLER_BIN_DIR "/dnscache_sim", "--hosts",
                                   WriteIn(dir, "sinan_hosts.txt", hosts)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  m_out = dir.File("sinan_sim.out");
  if (!m_proc.Start(argv, dir.path(), {}, m_out, dir.File("sinan_sim.err"))) return false;
  std::string out;
  auto listening = [&] {
    out = ReadFile(m_out);
    return out.find('\n') != std::string::npos;
  };
  if (!testsupport::WaitUntil(listening, kSimStartMs) || out.find(kListening) != 0) return false;
  m_port = atoi(out.c_str() + sizeof(kListening) - 1);
  return m_port > 0;
}

int SinanSim::Asked(const std::string& host) const {
  return CountLines(ReadFile(m_out), "ask " + host);
}

void LogToFile(const std::string& file) {
  testsupport::LogToFile(file, "%p %c %m%n", "ALL");
}

}  // namespace crawler_test
