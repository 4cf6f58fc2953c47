#include "crawl_run.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "record_file.h"

namespace e2e {

namespace {

constexpr int kStartMs = 15000;
constexpr int kHttpStartAttempts = 3;

int FreeTcpPort() {
  int port = 0;
  close(crawler_test::BindLoopback(SOCK_STREAM, port));
  return port;
}

// A JSON string whose characters are the bytes of `s`, as http_sim turns
// bodies back into bytes (latin-1).
std::string JsonBytes(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7e) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

int CountEmitLines(const std::string& audit) {
  int n = 0;
  for (const std::string& line : Lines(audit)) {
    if (line.compare(0, 6, "\temit\t") == 0 &&
        line.find("\tstage:download_") != std::string::npos) {
      ++n;
    }
  }
  return n;
}

}  // namespace

int SumOfCounts(const std::string& line, const std::string& member) {
  size_t at = line.find("\"" + member + "\":{");
  if (at == std::string::npos) return 0;
  size_t end = line.find('}', at);
  static const std::regex count(":(-?[0-9]+)");
  std::string body = line.substr(at + member.size() + 3, end - at - member.size() - 3);
  int sum = 0;
  for (std::sregex_iterator it(body.begin(), body.end(), count), last; it != last; ++it) {
    sum += atoi((*it)[1].str().c_str());
  }
  return sum;
}

CrawlRun::CrawlRun() : CrawlRun(0) {}

CrawlRun::CrawlRun(int originPort) : m_fixedPort(originPort) {
  mkdir(m_dir.File("run").c_str(), 0755);
}

std::string CrawlRun::Fill(std::string text) const {
  text = std::regex_replace(text, std::regex("PORT"), std::to_string(m_port));
  return std::regex_replace(text, std::regex("PROXY"), std::to_string(m_proxyPort));
}

std::string CrawlRun::Url(const std::string& host, const std::string& path) const {
  return "http://" + host + ":" + std::to_string(m_port) + path;
}

bool CrawlRun::Start(const std::string& hosts, const std::string& cachedHosts, const Routes& routes,
                     const std::string& urls, const std::string& ini) {
  return m_dns.Start(m_dir, hosts) && m_cache.Start(m_dir, cachedHosts) && StartHttp(routes) &&
         StartDispatcher(Fill(urls)) && StartCrawler(ini);
}

// The routes name the server's own ports, so they are chosen before it
// starts; another process may take one meanwhile, hence a few fresh tries.
bool CrawlRun::StartHttp(const Routes& routes) {
  for (int attempt = 0; attempt < kHttpStartAttempts; ++attempt) {
    m_port = m_fixedPort != 0 ? m_fixedPort : FreeTcpPort();
    m_proxyPort = FreeTcpPort();
    if (StartHttpOnce(routes)) return true;
    m_http.Stop();
  }
  return false;
}

bool CrawlRun::StartHttpOnce(const Routes& routes) {
  std::string json = "{";
  for (const auto& route : routes) {
    json += (json.size() > 1 ? ",\n" : "\n") + JsonBytes(route.first) + ": {";
    bool first = true;
    for (const auto& kv : route.second) {
      json += (first ? "" : ", ") + JsonBytes(kv.first) + ": " + JsonBytes(Fill(kv.second));
      first = false;
    }
    json += "}";
  }
  std::string file = crawler_test::WriteIn(m_dir, "routes.json", json + "\n}\n");
  std::string ready = m_dir.File("http.ready");
  if (!m_http.Start({"/usr/bin/python3", CRAWLER_SOURCE_DIR "/tools/http_sim/http_sim.py", "--http",
                     std::to_string(m_port), "--http-proxy", std::to_string(m_proxyPort),
                     "--routes", file, "--log", m_dir.File("http.log"), "--ready-file", ready},
                    m_dir.path(), {}, m_dir.File("http.out"), m_dir.File("http.err"))) {
    return false;
  }
  return testsupport::WaitUntil(
             [&] {
               return testsupport::ReadFile(ready).find('}') != std::string::npos ||
                      m_http.Wait(0) != -1;
             },
             kStartMs) &&
         testsupport::ReadFile(ready).find('}') != std::string::npos;
}

bool CrawlRun::StartDispatcher(const std::string& urls) {
  std::string portFile = m_dir.File("dispatcher.port");
  if (!m_dispatcher.Start(
          {CRAWLER_BIN_DIR "/dispatcher_sim", "-u", crawler_test::WriteIn(m_dir, "urls.txt", urls),
           "--port-file", portFile, "-o", m_dir.File("dispatcher.log")},
          m_dir.path(), {}, m_dir.File("dispatcher.out"), m_dir.File("dispatcher.err"))) {
    return false;
  }
  return testsupport::WaitUntil(
      [&] { return (m_dispatcherPort = atoi(testsupport::ReadFile(portFile).c_str())) > 0; },
      kStartMs);
}

bool CrawlRun::StartCrawler(const std::string& ini) {
  std::string klog =
      crawler_test::WriteIn(m_dir, "klog.conf",
                            "klog.rootLogger=INFO, F\n"
                            "klog.appender.F=FileAppender\n"
                            "klog.appender.F.File=" +
                                m_dir.File("crawler.log") +
                                "\n"
                                "klog.appender.F.layout=PatternLayout\n"
                                "klog.appender.F.layout.ConversionPattern=%c|%m%n\n"
                                "klog.logger.search.download.scribe=INFO, R\n"
                                "klog.additivity.search.download.scribe=false\n"
                                "klog.appender.R=FileAppender\n"
                                "klog.appender.R.File=" +
                                m_dir.File("records.log") +
                                "\n"
                                "klog.appender.R.layout=PatternLayout\n"
                                "klog.appender.R.layout.ConversionPattern=%m%n\n"
                                "klog.logger.search.download.common.audit=INFO, A\n"
                                "klog.additivity.search.download.common.audit=false\n"
                                "klog.appender.A=FileAppender\n"
                                "klog.appender.A.File=" +
                                m_dir.File("audit.log") +
                                "\n"
                                "klog.appender.A.layout=PatternLayout\n"
                                "klog.appender.A.layout.ConversionPattern=%m%n\n");
  std::string sample = testsupport::ReadFile(CRAWLER_SOURCE_DIR "/config/crawler.ini");
  sample = std::regex_replace(sample, std::regex("server_addrs = .*"),
                              "server_addrs = 127.0.0.1:" + std::to_string(m_dispatcherPort));
  std::string own = "[crawler]\nlog_file = " + klog + "\ndownload_thread_count = 2\n" +
                    "[dns]\ndns_port = " + std::to_string(m_dns.port()) +
                    "\ndns_server = 127.0.0.1\n[sinan]\nsinan_server = 127.0.0.1\nsinan_port = " +
                    std::to_string(m_cache.port()) + "\n" + ini + "\n";
  std::string config = crawler_test::WriteIn(m_dir, "crawler.ini", own + sample);
  return m_crawler.Start({CRAWLER_BIN_DIR "/crawler", "-c", config}, m_dir.File("run"),
                         {"vorn_pid_dir=" + m_dir.path()}, m_dir.File("crawler.out"),
                         m_dir.File("crawler.err"));
}

bool CrawlRun::WaitFinished(int items, int timeout_ms) {
  return testsupport::WaitUntil(
      [&] {
        if (CountEmitLines(Audit()) < items) return false;
        int fed = 0;
        for (const std::string& line : DispatcherCalls("NotfiyDownloadFinish")) {
          fed += SumOfCounts(line, "hosts_count");
        }
        static const std::regex proxied("\"concurr_cnt\":([0-9]+)");
        for (const std::string& line : DispatcherCalls("NotfiyProxyDownloadFinish")) {
          for (std::sregex_iterator it(line.begin(), line.end(), proxied), last; it != last; ++it) {
            fed += atoi((*it)[1].str().c_str());
          }
        }
        return fed >= items;
      },
      timeout_ms);
}

std::string CrawlRun::Records() const { return testsupport::ReadFile(m_dir.File("records.log")); }
std::string CrawlRun::Audit() const { return testsupport::ReadFile(m_dir.File("audit.log")); }
std::string CrawlRun::Messages() const { return testsupport::ReadFile(m_dir.File("crawler.log")); }
std::string CrawlRun::Requests() const { return testsupport::ReadFile(m_dir.File("http.log")); }

std::vector<std::string> CrawlRun::DispatcherCalls(const std::string& method) const {
  std::vector<std::string> calls;
  for (const std::string& line : Lines(testsupport::ReadFile(m_dir.File("dispatcher.log")))) {
    if (line.find("\"call\":\"" + method + "\"") != std::string::npos) calls.push_back(line);
  }
  return calls;
}

}  // namespace e2e
