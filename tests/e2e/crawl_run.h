// One crawl as an operator runs it, for the end-to-end tests: dnsmasq and
// the DNS cache simulator for the test hosts, tools/http_sim serving scripted routes (and a
// recording HTTP proxy), dispatcher_sim handing out a URL file, and the crawler binary with a
// logging configuration that writes records, audit lines and messages to their own files. Owned by
// one test suite; not thread-safe.
#ifndef TESTS_E2E_CRAWL_RUN_H_
#define TESTS_E2E_CRAWL_RUN_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dns_fixtures.h"
#include "process.h"

namespace e2e {

// http_sim response parameters of one path (status, ctype, body, header, size).
typedef std::map<std::string, std::string> Response;
typedef std::vector<std::pair<std::string, Response>> Routes;

class CrawlRun {
 public:
  CrawlRun();
  // Serves the origin on this fixed port instead of a free one (0).
  explicit CrawlRun(int originPort);
  // `hosts` ("address name" lines) are served by dnsmasq, `cachedHosts`
  // ("name address" lines) by the DNS cache service, which is asked first. `urls` and the route
  // texts may use PORT for the origin's port and PROXY for the proxy's; `ini` lines come before the
  // sample configuration and win over it. False when a peer did not come up.
  bool Start(const std::string& hosts, const std::string& cachedHosts, const Routes& routes,
             const std::string& urls, const std::string& ini);
  // Waits (bounded) until `items` items have their audit line and have been
  // reported back to the dispatcher.
  bool WaitFinished(int items, int timeout_ms);

  // Sends `sig` to the crawler; Exit waits (bounded) for its status, -1 on
  // time-out.
  void Signal(int sig) { m_crawler.Signal(sig); }
  int Exit(int timeout_ms) { return m_crawler.Wait(timeout_ms); }

  int port() const { return m_port; }
  int proxyPort() const { return m_proxyPort; }
  // "http://<host>:<port><path>"
  std::string Url(const std::string& host, const std::string& path) const;
  std::string Records() const;
  std::string Audit() const;
  std::string Messages() const;
  std::string Requests() const;
  std::vector<std::string> DispatcherCalls(const std::string& method) const;

 private:
  std::string Fill(std::string text) const;
  bool StartHttp(const Routes& routes);
  bool StartHttpOnce(const Routes& routes);
  bool StartDispatcher(const std::string& urls);
  bool StartCrawler(const std::string& ini);

  testsupport::TempDir m_dir;
  crawler_test::Dnsmasq m_dns;
  crawler_test::SinanSim m_cache;
  testsupport::Child m_http;
  testsupport::Child m_dispatcher;
  testsupport::Child m_crawler;
  int m_fixedPort = 0;
  int m_port = 0;
  int m_proxyPort = 0;
  int m_dispatcherPort = 0;
};

// Sum of the counts in one JSON object member ("hosts_count":{"a":2,...})
// of a dispatcher call line.
int SumOfCounts(const std::string& line, const std::string& member);

}  // namespace e2e

#endif  // TESTS_E2E_CRAWL_RUN_H_
