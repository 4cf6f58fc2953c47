// The DNS query client end to end: dnsmasq for real answers, a scripted
// responder for what no real server sends, the cache simulator for the
// service path.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DnsParse.h"
#include "dns_fixtures.h"

using namespace crawler_test;

namespace {

int Ip(const char* dotted) { return static_cast<int>(inet_addr(dotted)); }

std::vector<int> Ips(const tagIPLIST& list) {
  return std::vector<int>(list.m_iIp, list.m_iIp + list.m_iCnt);
}

const char kDnsmasqHosts[] =
    "93.184.216.34 a.test\n"
    "93.184.216.35 a.test\n"
    "198.51.100.9 other.test\n";

class DnsParseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log = m_dir.path() + "/crawler.log";
    LogToFile(m_log);
  }
  // A client whose INI file holds `ini`.
  bool Init(DnsParse& dns, const std::string& ini) {
    return dns.Init(WriteIni(m_dir, ini).c_str());
  }
  static std::string DnsAt(int port, const std::string& servers = "127.0.0.1") {
    return "[dns]\ndns_port=" + std::to_string(port) + "\ndns_server=" + servers + "\n";
  }
  std::string Log() const { return ReadFile(m_log); }

  TempDir m_dir;
  std::string m_log;
};

TEST_F(DnsParseTest, MissingConfigFileFailsInit) {
  DnsParse dns;
  EXPECT_FALSE(dns.Init((m_dir.path() + "/absent.ini").c_str()));
  EXPECT_NE(std::string::npos,
            Log().find("ERROR search.download INIFile init fail. config-file is : " + m_dir.path() +
                       "/absent.ini"));
}

TEST_F(DnsParseTest, EmptyHostTouchesNoSource) {
  UdpResponder responder([](const std::string&) { return std::string(); });
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(responder.port())));
  tagIPLIST list;
  EXPECT_EQ(False, dns.GetIP("", &list));
  EXPECT_NE(std::string::npos, Log().find("DEBUG search.download domain is null"));
  EXPECT_EQ(0, responder.queries());
}

TEST_F(DnsParseTest, AnswersOfARealServer) {
  Dnsmasq dnsmasq;
  ASSERT_TRUE(dnsmasq.Start(m_dir, kDnsmasqHosts,
                            {"--cname=alias.test,a.test", "--cname=chain.test,alias.test"}));
  struct Case {
    const char* host;
    std::vector<int> ips;
    const char* text;
  } cases[] = {
      {"other.test", {Ip("198.51.100.9")}, "198.51.100.9;"},
      {"alias.test", {Ip("93.184.216.34"), Ip("93.184.216.35")}, "93.184.216.34;93.184.216.35;"},
      {"chain.test", {Ip("93.184.216.34"), Ip("93.184.216.35")}, "93.184.216.34;93.184.216.35;"},
      {"nx.test", {0}, "0.0.0.0;"},
  };
  DnsParse dns;
  // One server, written without a separator.
  ASSERT_TRUE(Init(dns, DnsAt(dnsmasq.port())));
  for (const Case& c : cases) {
    tagIPLIST list;
    ASSERT_EQ(Nul, dns.GetIP(c.host, &list)) << c.host;
    std::vector<int> got = Ips(list);
    std::sort(got.begin(), got.end());
    std::vector<int> want = c.ips;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, got) << c.host;
    std::string line =
        std::string("GetHostByDnsServer Success. Host:") + c.host + ", Dns Server:127.0.0.1, Ip:";
    EXPECT_NE(std::string::npos, Log().find(line)) << c.host;
  }
  EXPECT_NE(std::string::npos, Log().find("Host:nx.test, Dns Server:127.0.0.1, Ip:0.0.0.0;\n"));
}

TEST_F(DnsParseTest, ManyRecordsFromARealServer) {
  std::string hosts;
  for (int i = 1; i <= 20; ++i) hosts += "198.51.100." + std::to_string(i) + " many.test\n";
  Dnsmasq dnsmasq;
  ASSERT_TRUE(dnsmasq.Start(m_dir, hosts));
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(dnsmasq.port(), "localhost;127.0.0.1;")));
  tagIPLIST list;
  ASSERT_EQ(Nul, dns.GetIP("many.test", &list));
  EXPECT_EQ(20, list.m_iCnt);
}

TEST_F(DnsParseTest, SharedInstanceServesConcurrentCallers) {
  Dnsmasq dnsmasq;
  ASSERT_TRUE(dnsmasq.Start(m_dir, kDnsmasqHosts));
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(dnsmasq.port())));
  constexpr int kThreads = 4;
  constexpr int kCalls = 50;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&dns, &wrong, t] {
      bool other = t % 2 == 0;
      for (int i = 0; i < kCalls; ++i) {
        tagIPLIST list;
        Bool got = dns.GetIP(other ? "other.test" : "nx.test", &list);
        int want = other ? Ip("198.51.100.9") : 0;
        wrong[t] += got != Nul || list.m_iCnt != 1 || list.m_iIp[0] != want;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(std::vector<int>(kThreads, 0), wrong);
}

// Answers every query the way `kind` says.
std::string Scripted(const std::string& kind, const std::string& query) {
  uint16_t id = QueryId(query);
  std::string host = QueryName(query);
  if (kind == "silent") return "";
  if (kind == "wrong id") return MakeAnswer(id ^ 1, host, {{1, A(1, 2, 3, 4)}});
  if (kind == "no qr") return MakeAnswer(id, host, {{1, A(1, 2, 3, 4)}}, 0x0100);
  if (kind == "private") return MakeAnswer(id, host, {{1, A(10, 0, 0, 1)}, {1, A(192, 168, 0, 1)}});
  if (kind == "lying rdlength") {
    std::string d = MakeAnswer(id, host, {{1, A(1, 2, 3, 4)}});
    d[d.size() - 6] = '\x7f';
    return d;
  }
  std::vector<Rr> many;
  for (int i = 0; i < 40; ++i) many.push_back({1, A(93, 184, 1, static_cast<uint8_t>(i))});
  return MakeAnswer(id, host, many);
}

TEST_F(DnsParseTest, AnswersNoRealServerSends) {
  struct Case {
    const char* kind;
    Bool result;
    int count;
    int first;
  } cases[] = {
      {"wrong id", False, 0, 0},
      {"no qr", False, 0, 0},
      {"private", Nul, 1, 0},
      {"lying rdlength", Nul, 1, 0},
      {"40 records", Nul, kIpListMax, Ip("93.184.1.0")},
  };
  std::string kind;
  UdpResponder responder([&kind](const std::string& q) { return Scripted(kind, q); });
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(responder.port())));
  for (const Case& c : cases) {
    kind = c.kind;
    tagIPLIST list;
    EXPECT_EQ(c.result, dns.GetIP("x.test", &list)) << c.kind;
    if (c.result == False) continue;
    EXPECT_EQ(c.count, list.m_iCnt) << c.kind;
    EXPECT_EQ(c.first, list.m_iIp[0]) << c.kind;
  }
}

TEST_F(DnsParseTest, WrongIdKeepsSocketTimeOutReplacesIt) {
  std::string kind = "wrong id";
  UdpResponder responder([&kind](const std::string& q) { return Scripted(kind, q); });
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(responder.port())));
  tagIPLIST list;
  EXPECT_EQ(False, dns.GetIP("x.test", &list));
  int port = responder.lastPort();
  kind = "silent";
  EXPECT_EQ(False, dns.GetIP("x.test", &list));
  EXPECT_EQ(port, responder.lastPort());
  kind = "40 records";
  EXPECT_EQ(Nul, dns.GetIP("x.test", &list));
  EXPECT_NE(port, responder.lastPort());
  EXPECT_EQ(3, responder.queries());
}

TEST_F(DnsParseTest, OverlongHostIsNotQueried) {
  UdpResponder responder([](const std::string& q) { return Scripted("40 records", q); });
  DnsParse dns;
  ASSERT_TRUE(Init(dns, DnsAt(responder.port())));
  tagIPLIST list;
  EXPECT_EQ(False, dns.GetIP(std::string(2031, 'a').c_str(), &list));
  EXPECT_EQ(0, responder.queries());
}

TEST_F(DnsParseTest, SystemResolverWithoutDnsServer) {
  DnsParse dns;
  ASSERT_TRUE(Init(dns, "[dns]\ndns_port=53\n"));
  tagIPLIST list;
  ASSERT_EQ(Nul, dns.GetIP("localhost", &list));
  EXPECT_EQ(std::vector<int>{Ip("127.0.0.1")}, Ips(list));
  ASSERT_EQ(Nul, dns.GetIP("1.2.3.4", &list));
  EXPECT_EQ(std::vector<int>{Ip("1.2.3.4")}, Ips(list));
  EXPECT_TRUE(GetHostByName("localhost", &list));
  EXPECT_FALSE(GetHostByName("", &list));
  EXPECT_NE(std::string::npos, Log().find("INFO search.download hostname is null"));
}

const char kSinanHosts[] =
    "two.test 93.184.216.34 93.184.216.35\n"
    "dead.test 0\n"
    "old.test 198.51.100.7 expired\n"
    "gone.test none\n";

class DnsParseSinanTest : public DnsParseTest {
 protected:
  void Start(const std::vector<std::string>& extra = {}) {
    ASSERT_TRUE(m_sim.Start(m_dir, kSinanHosts, extra));
    ASSERT_TRUE(Init(m_dns, "[sinan]\nsinan_server=127.0.0.1\nsinan_port=" +
                                std::to_string(m_sim.port()) + "\n" + DnsAt(m_responder.port())));
  }
  SinanSim m_sim;
  UdpResponder m_responder{[](const std::string& q) {
    return MakeAnswer(QueryId(q), QueryName(q), {{1, A(203, 0, 113, 5)}});
  }};
  DnsParse m_dns;
};

TEST_F(DnsParseSinanTest, ServiceAnswersComeFirst) {
  Start();
  struct Case {
    const char* host;
    Bool result;
    std::vector<int> ips;
  } cases[] = {
      {"two.test", True, {Ip("93.184.216.34"), Ip("93.184.216.35")}},
      {"dead.test", True, {0}},
      {"old.test", True, {Ip("198.51.100.7")}},
      {"gone.test", Nul, {Ip("203.0.113.5")}},
      {"unknown.test", Nul, {Ip("203.0.113.5")}},
  };
  for (const Case& c : cases) {
    tagIPLIST list;
    EXPECT_EQ(c.result, m_dns.GetIP(c.host, &list)) << c.host;
    EXPECT_EQ(c.ips, Ips(list)) << c.host;
    EXPECT_EQ(1, m_sim.Asked(c.host)) << c.host;
  }
  EXPECT_EQ(2, m_responder.queries());
}

TEST_F(DnsParseSinanTest, ServiceErrorSkipsServiceFor8192Calls) {
  Start({"--close-after", "1"});
  tagIPLIST list;
  ASSERT_EQ(True, m_dns.GetIP("two.test", &list));
  // The service has closed the connection: error, and the DNS server answers.
  ASSERT_EQ(Nul, m_dns.GetIP("two.test", &list));
  EXPECT_EQ(std::vector<int>{Ip("203.0.113.5")}, Ips(list));
  for (int i = 0; i < 8192; ++i) ASSERT_EQ(Nul, m_dns.GetIP("two.test", &list)) << i;
  EXPECT_EQ(1, m_sim.Asked("two.test"));
  EXPECT_EQ(8193, m_responder.queries());
  EXPECT_EQ(True, m_dns.GetIP("two.test", &list));
  EXPECT_EQ(2, m_sim.Asked("two.test"));
}

TEST_F(DnsParseTest, UnreachableServiceIsNotUsed) {
  UdpResponder responder([](const std::string& q) {
    return MakeAnswer(QueryId(q), QueryName(q), {{1, A(1, 2, 3, 4)}});
  });
  DnsParse dns;
  // Port 1 on loopback refuses connections.
  ASSERT_TRUE(
      Init(dns, "[sinan]\nsinan_server=127.0.0.1\nsinan_port=1\n" + DnsAt(responder.port())));
  tagIPLIST list;
  EXPECT_EQ(Nul, dns.GetIP("a.test", &list));
  EXPECT_EQ(std::vector<int>{Ip("1.2.3.4")}, Ips(list));
}

}  // namespace
