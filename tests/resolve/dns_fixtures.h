// Peers and datagrams of the resolver tests: a dnsmasq on loopback, a
// scriptable UDP responder, answers built byte by byte, and INI files.
// Each object belongs to the test that made it; the responder runs one
// thread of its own.
#ifndef TESTS_RESOLVE_DNS_FIXTURES_H_
#define TESTS_RESOLVE_DNS_FIXTURES_H_

#include <stdint.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace crawler_test {

// dnsmasq answering only from its own records for everything under .test.
class Dnsmasq {
 public:
  // hostsFile: "address name" lines; extra: more dnsmasq options.
  bool Start(const TempDir& dir, const std::string& hostsFile,
             const std::vector<std::string>& extra = {});
  int port() const { return m_port; }

 private:
  bool StartOnce(const TempDir& dir, const std::string& hostsFile,
                 const std::vector<std::string>& extra);

  testsupport::Child m_proc;
  int m_port = 0;
};

// Answers each datagram with what the script returns for it; an empty
// result sends nothing.
class UdpResponder {
 public:
  typedef std::function<std::string(const std::string& query)> Script;
  explicit UdpResponder(Script script);
  ~UdpResponder();
  int port() const { return m_port; }
  int queries() const { return m_queries; }
  // Source port of the last query received.
  int lastPort() const { return m_lastPort; }

 private:
  void Serve();

  Script m_script;
  int m_fd;
  int m_port;
  std::atomic<bool> m_stop;
  std::atomic<int> m_queries;
  std::atomic<int> m_lastPort;
  std::thread m_thread;
};

struct Rr {
  uint16_t type;
  std::string rdata;
  std::string owner = std::string("\xc0\x0c", 2);  // pointer to the question
};

// An answer to (id, qname) with the given flags and records; counts default
// to the real ones and may be overridden to lie.
std::string MakeAnswer(uint16_t id, const std::string& qname, const std::vector<Rr>& answers,
                       uint16_t flags = 0x8180, int qdcount = 1, int ancount = -1);
std::string A(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
// The name in label form.
std::string Labels(const std::string& name);
uint16_t QueryId(const std::string& query);
// The question name of a query.
std::string QueryName(const std::string& query);

// A main INI file with the given sections text.
std::string WriteIni(const TempDir& dir, const std::string& text);

int FreeUdpPort();

}  // namespace crawler_test

#endif  // TESTS_RESOLVE_DNS_FIXTURES_H_
