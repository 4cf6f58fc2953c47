// The crawler binary resolving the hosts of dispatched URLs: through the test
// dnsmasq when "dns_server" names it, through the system resolver otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "dns_fixtures.h"

using namespace crawler_test;

namespace {

constexpr int kStartMs = 10000;
constexpr int kFetchMs = 60000;

class CrawlerDnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, mkdir(m_dir.File("run").c_str(), 0755));
    WriteIn(m_dir, "klog.conf",
            "klog.rootLogger=INFO, F\n"
            "klog.appender.F=FileAppender\n"
            "klog.appender.F.File=" +
                m_dir.File("crawler.log") +
                "\n"
                "klog.appender.F.ImmediateFlush=true\n"
                "klog.appender.F.layout=PatternLayout\n"
                "klog.appender.F.layout.ConversionPattern=%c|%m%n\n");
    ASSERT_TRUE(m_http.Start(
        {"/usr/bin/python3", CRAWLER_SOURCE_DIR "/tools/http_sim/http_sim.py", "--http", "0",
         "--log", m_dir.File("http.log"), "--ready-file", m_dir.File("http.ready")},
        m_dir.path(), {}, m_dir.File("http.out"), m_dir.File("http.err")));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return ReadFile(m_dir.File("http.ready")).find('}') != std::string::npos; },
        kStartMs));
    std::string ready = ReadFile(m_dir.File("http.ready"));
    m_httpPort = atoi(ready.c_str() + ready.find("\"http\":") + 7);
  }

  // Serves `urls` (with PORT standing for the origin's port) to a crawler
  // whose configuration starts with `own` and goes on with the sample.
  void Crawl(std::string urls, const std::string& own) {
    urls = std::regex_replace(urls, std::regex("PORT"), std::to_string(m_httpPort));
    std::string portFile = m_dir.File("dispatcher.port");
    ASSERT_TRUE(m_dispatcher.Start(
        {CRAWLER_BIN_DIR "/dispatcher_sim", "-u", WriteIn(m_dir, "urls.txt", urls), "--port-file",
         portFile, "-o", m_dir.File("dispatcher.out")},
        m_dir.path(), {}, m_dir.File("dispatcher.stdout"), m_dir.File("dispatcher.err")));
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return atoi(ReadFile(portFile).c_str()) > 0; }, kStartMs));
    std::string sample = ReadFile(CRAWLER_SOURCE_DIR "/config/crawler.ini");
    sample = std::regex_replace(sample, std::regex("server_addrs = .*"),
                                "server_addrs = 127.0.0.1:" + ReadFile(portFile));
    std::string ini = WriteIn(m_dir, "crawler.ini",
                              "[crawler]\nlog_file = " + m_dir.File("klog.conf") +
                                  "\ndownload_thread_count = 2\n" + own + sample);
    ASSERT_TRUE(m_crawler.Start({CRAWLER_BIN_DIR "/crawler", "-c", ini}, m_dir.File("run"),
                                {"vorn_pid_dir=" + m_dir.path()}, m_dir.File("crawler.out"),
                                m_dir.File("crawler.err")));
  }

  bool Fetched(const std::string& target) {
    return testsupport::WaitUntil(
        [&] { return ReadFile(m_dir.File("http.log")).find(target) != std::string::npos; },
        kFetchMs);
  }
  std::string Log() { return ReadFile(m_dir.File("crawler.log")); }

  TempDir m_dir;
  testsupport::Child m_http;
  testsupport::Child m_dispatcher;
  testsupport::Child m_crawler;
  int m_httpPort = 0;
};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(CrawlerDnsTest, ResolvesThroughTheConfiguredServer) {
  Dnsmasq dnsmasq;
  ASSERT_TRUE(
      dnsmasq.Start(m_dir, "127.0.0.1 www.site.test\n", {"--cname=alias.site.test,www.site.test"}));
  Crawl(
      "http://www.site.test:PORT/one?body=first\n"
      "http://www.site.test:PORT/two?body=second\n"
      "http://alias.site.test:PORT/three?body=third\n"
      "http://nx.site.test:PORT/four?body=fourth\n",
      "[dns]\ndns_port = " + std::to_string(dnsmasq.port()) + "\ndns_server = 127.0.0.1\n");
  for (const char* target : {"/one?body=first", "/two?body=second", "/three?body=third"}) {
    EXPECT_TRUE(Fetched(target)) << target;
  }
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] {
        return Log().find("Host:nx.site.test, Dns Server:127.0.0.1, Ip:0.0.0.0;") !=
               std::string::npos;
      },
      kFetchMs));
  std::string log = Log();
  // The second URL of the host is answered by the IP cache.
  EXPECT_EQ(1, Count(log,
                     "GetHostByDnsServer Success. Host:www.site.test, Dns Server:127.0.0.1, "
                     "Ip:127.0.0.1;"));
  EXPECT_EQ(1, Count(log, "Host:alias.site.test, Dns Server:127.0.0.1, Ip:127.0.0.1;"));
  EXPECT_EQ(std::string::npos, ReadFile(m_dir.File("http.log")).find("/four"));
}

TEST_F(CrawlerDnsTest, SystemResolverWithoutDnsServer) {
  Crawl("http://localhost:PORT/sys?body=local\n", "");
  EXPECT_TRUE(Fetched("/sys?body=local"));
  EXPECT_EQ(std::string::npos, Log().find("GetHostByDnsServer"));
}

}  // namespace
