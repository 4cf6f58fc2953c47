#include "dns_fixtures.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DnsPacket.h"

namespace crawler_test {

namespace {

constexpr int kReadyTries = 200;
constexpr int kReadyWaitMs = 25;
constexpr int kServePollMs = 20;

void Put16(std::string& out, int v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

// True once a server on 127.0.0.1:port answers an A query.
bool Answers(int port) {
  int ignored;
  int fd = BindLoopback(SOCK_DGRAM, ignored);
  char query[kDnsPacketMax];
  int len = BuildDnsQuery("ready.test", 7, query, sizeof(query));
  sockaddr_in to;
  memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  sendto(fd, query, len, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
  pollfd pfd = {fd, POLLIN, 0};
  bool ok = poll(&pfd, 1, kReadyWaitMs) == 1;
  close(fd);
  return ok;
}

}  // namespace

constexpr int kStartAttempts = 3;

int FreeUdpPort() {
  int port;
  close(BindLoopback(SOCK_DGRAM, port));
  return port;
}

bool Dnsmasq::Start(const TempDir& dir, const std::string& hostsFile,
                    const std::vector<std::string>& extra) {
  // The port is free for UDP when chosen, but dnsmasq also binds it for TCP
  // and another process may take it meanwhile: a few fresh tries.
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (StartOnce(dir, hostsFile, extra)) return true;
    m_proc.Stop();
  }
  return false;
}

bool Dnsmasq::StartOnce(const TempDir& dir, const std::string& hostsFile,
                        const std::vector<std::string>& extra) {
  m_port = FreeUdpPort();
  std::vector<std::string> argv = {"/usr/sbin/dnsmasq",
                                   "--keep-in-foreground",
                                   "--no-resolv",
                                   "--no-hosts",
                                   "--conf-file=/dev/null",
                                   "--pid-file=",
                                   "--listen-address=127.0.0.1",
                                   "--bind-interfaces",
                                   "--local=/test/",
                                   "--log-facility=-",
                                   "--port=" + std::to_string(m_port),
                                   "--addn-hosts=" + WriteIn(dir, "dnsmasq_hosts", hostsFile)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  // dnsmasq drops its privileges before it reads the hosts file.
  chmod(dir.path().c_str(), 0755);
  if (!m_proc.Start(argv, dir.path(), {}, dir.File("dnsmasq.out"), dir.File("dnsmasq.err"))) {
    return false;
  }
  for (int i = 0; i < kReadyTries; ++i) {
    if (Answers(m_port)) return true;
    if (m_proc.Wait(0) != -1) return false;  // it exited: port taken
  }
  return false;
}

UdpResponder::UdpResponder(Script script)
    : m_script(std::move(script)), m_stop(false), m_queries(0), m_lastPort(0) {
  m_fd = BindLoopback(SOCK_DGRAM, m_port);
  m_thread = std::thread(&UdpResponder::Serve, this);
}

UdpResponder::~UdpResponder() {
  m_stop = true;
  m_thread.join();
  close(m_fd);
}

void UdpResponder::Serve() {
  while (!m_stop) {
    pollfd pfd = {m_fd, POLLIN, 0};
    if (poll(&pfd, 1, kServePollMs) != 1) continue;
    char buf[kDnsPacketMax];
    sockaddr_in from;
    socklen_t len = sizeof(from);
    ssize_t n = recvfrom(m_fd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0) continue;
    m_lastPort = ntohs(from.sin_port);
    ++m_queries;
    std::string reply = m_script(std::string(buf, n));
    if (!reply.empty()) {
      sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }
}

std::string Labels(const std::string& name) {
  std::string out;
  size_t start = 0;
  for (size_t dot = name.find('.');; dot = name.find('.', start)) {
    std::string label = name.substr(start, dot == std::string::npos ? dot : dot - start);
    out += static_cast<char>(label.size());
    out += label;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return out + '\0';
}

std::string MakeAnswer(uint16_t id, const std::string& qname, const std::vector<Rr>& answers,
                       uint16_t flags, int qdcount, int ancount) {
  std::string out;
  Put16(out, id);
  Put16(out, flags);
  Put16(out, qdcount);
  Put16(out, ancount < 0 ? static_cast<int>(answers.size()) : ancount);
  Put16(out, 0);
  Put16(out, 0);
  out += Labels(qname);
  Put16(out, 1);
  Put16(out, 1);
  for (const Rr& rr : answers) {
    out += rr.owner;
    Put16(out, rr.type);
    Put16(out, 1);
    out += std::string("\0\0\x0e\x10", 4);
    Put16(out, static_cast<int>(rr.rdata.size()));
    out += rr.rdata;
  }
  return out;
}

std::string A(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                     static_cast<char>(d)};
}

uint16_t QueryId(const std::string& query) {
  return static_cast<uint16_t>((static_cast<uint8_t>(query[0]) << 8) |
                               static_cast<uint8_t>(query[1]));
}

std::string QueryName(const std::string& query) {
  std::string name;
  for (size_t pos = 12; pos < query.size() && query[pos] != '\0';) {
    size_t len = static_cast<uint8_t>(query[pos]);
    if (!name.empty()) name += '.';
    name += query.substr(pos + 1, len);
    pos += len + 1;
  }
  return name;
}

std::string WriteIni(const TempDir& dir, const std::string& text) {
  return WriteIn(dir, "crawler.ini", text);
}

}  // namespace crawler_test
