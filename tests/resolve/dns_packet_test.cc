// The A query's bytes and the answer parse, including datagrams that lie
// about their own size.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DnsPacket.h"
#include "dns_fixtures.h"

using crawler_test::A;
using crawler_test::MakeAnswer;
using crawler_test::Rr;

namespace {

constexpr uint16_t kId = 0xBEEF;
const char kHost[] = "www.example.com";

int Ip(const char* dotted) { return static_cast<int>(inet_addr(dotted)); }

TEST(BuildDnsQuery, BytesOfTheQuery) {
  char buf[kDnsPacketMax];
  memset(buf, 0x5a, sizeof(buf));
  ASSERT_EQ(18 + 9, BuildDnsQuery("www.a.com", 0x1234, buf, sizeof(buf)));
  const char expect[] =
      "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
      "\x03www\x01"
      "a\x03"
      "com\x00"
      "\x00\x01\x00\x01";
  EXPECT_EQ(std::string(expect, 27), std::string(buf, 27));
}

TEST(BuildDnsQuery, LengthLimit) {
  char buf[kDnsPacketMax];
  EXPECT_EQ(kDnsPacketMax, BuildDnsQuery(std::string(2030, 'a'), 1, buf, sizeof(buf)));
  EXPECT_EQ(-1, BuildDnsQuery(std::string(2031, 'a'), 1, buf, sizeof(buf)));
}

struct ParseCase {
  const char* name;
  std::string datagram;
  bool ok;
  std::vector<int> ips;
  std::string text;
};

std::vector<Rr> ManyA(int n, uint8_t first) {
  std::vector<Rr> out;
  for (int i = 0; i < n; ++i) out.push_back({1, A(93, 184, first, static_cast<uint8_t>(i))});
  return out;
}

std::vector<ParseCase> Cases() {
  std::string good = MakeAnswer(kId, kHost, {{1, A(93, 184, 216, 34)}});
  std::string cname = std::string("\x03www\xc0\x10", 6);
  std::vector<ParseCase> cases = {
      {"one A", good, true, {Ip("93.184.216.34")}, "93.184.216.34;"},
      {"wrong id", MakeAnswer(kId + 1, kHost, {{1, A(1, 2, 3, 4)}}), false, {}, ""},
      {"not a response", MakeAnswer(kId, kHost, {{1, A(1, 2, 3, 4)}}, 0x0100), false, {}, ""},
      {"name error", MakeAnswer(kId, kHost, {}, 0x8183), true, {0}, "0.0.0.0;"},
      {"two questions", MakeAnswer(kId, kHost, {{1, A(1, 2, 3, 4)}}, 0x8180, 2), false, {}, ""},
      {"no answers", MakeAnswer(kId, kHost, {}), true, {0}, "0.0.0.0;"},
      {"other question", MakeAnswer(kId, "www.example.org", {{1, A(1, 2, 3, 4)}}), false, {}, ""},
      {"cname then A",
       MakeAnswer(kId, kHost, {{5, cname}, {1, A(93, 184, 216, 35), "\xc0\x21"}}),
       true,
       {Ip("93.184.216.35")},
       "93.184.216.35;"},
      {"private only",
       MakeAnswer(kId, kHost, {{1, A(10, 1, 2, 3)}, {1, A(172, 16, 0, 1)}, {1, A(192, 168, 1, 1)}}),
       true,
       {0},
       "0.0.0.0;"},
      {"private dropped, public kept",
       MakeAnswer(kId, kHost, {{1, A(172, 31, 0, 1)}, {1, A(172, 32, 0, 1)}}),
       true,
       {Ip("172.32.0.1")},
       "172.32.0.1;"},
      {"owner name in labels",
       MakeAnswer(kId, kHost, {{1, A(1, 2, 3, 4), crawler_test::Labels(kHost)}}),
       true,
       {Ip("1.2.3.4")},
       "1.2.3.4;"},
      {"cut inside second record",
       good + good.substr(good.size() - 16, 9),
       true,
       {Ip("93.184.216.34")},
       "93.184.216.34;"},
      {"ancount lies",
       MakeAnswer(kId, kHost, {{1, A(1, 2, 3, 4)}}, 0x8180, 1, 60000),
       true,
       {Ip("1.2.3.4")},
       "1.2.3.4;"},
      {"rdlength past end",
       good.substr(0, good.size() - 6) + std::string("\x40\x00", 2) + A(1, 2, 3, 4),
       true,
       {0},
       "0.0.0.0;"},
      {"short A rdata", MakeAnswer(kId, kHost, {{1, "\x01\x02"}}), true, {0}, "0.0.0.0;"},
      {"header only", good.substr(0, 12), false, {}, ""},
      {"cut in question", good.substr(0, 20), false, {}, ""},
      {"label runs past end", good.substr(0, 12) + "\x3fwww", false, {}, ""},
      {"two bytes", good.substr(0, 2), false, {}, ""},
      {"empty", "", false, {}, ""},
  };
  std::vector<int> first32;
  std::string text;
  for (int i = 0; i < kIpListMax; ++i) {
    std::string dotted = "93.184.7." + std::to_string(i);
    first32.push_back(Ip(dotted.c_str()));
    text += dotted + ";";
  }
  cases.push_back({"40 A records", MakeAnswer(kId, kHost, ManyA(40, 7)), true, first32, text});
  return cases;
}

TEST(ParseDnsAnswer, Cases) {
  for (const ParseCase& c : Cases()) {
    // An exact-size copy, so that any read past the datagram is caught.
    std::unique_ptr<unsigned char[]> data(new unsigned char[c.datagram.size() + 1]);
    memcpy(data.get(), c.datagram.data(), c.datagram.size());
    tagIPLIST list;
    list.m_iCnt = -5;
    std::string text = "stale";
    bool ok = ParseDnsAnswer(data.get(), c.datagram.size(), kId, kHost, &list, text);
    EXPECT_EQ(c.ok, ok) << c.name;
    if (!ok || !c.ok) continue;
    EXPECT_EQ(c.ips, std::vector<int>(list.m_iIp, list.m_iIp + list.m_iCnt)) << c.name;
    EXPECT_EQ(c.text, text) << c.name;
  }
}

// Random and mutated datagrams, each in a heap block of its exact size:
// under AddressSanitizer a read past the end fails the test.
TEST(ParseDnsAnswer, SurvivesRandomAndMutatedDatagrams) {
  constexpr int kRounds = 20000;
  std::mt19937 rng(20240601);
  std::vector<std::string> seeds;
  for (const ParseCase& c : Cases()) seeds.push_back(c.datagram);
  for (int round = 0; round < kRounds; ++round) {
    std::string d;
    if (round % 4 == 0) {
      d.resize(rng() % 600);
      for (char& ch : d) ch = static_cast<char>(rng());
      if (d.size() >= 2) d[0] = static_cast<char>(kId >> 8), d[1] = static_cast<char>(kId);
    } else {
      d = seeds[rng() % seeds.size()];
      for (int flips = 1 + rng() % 4; flips > 0 && !d.empty(); --flips) {
        d[rng() % d.size()] = static_cast<char>(rng());
      }
      if (!d.empty() && rng() % 2) d.resize(rng() % d.size());
    }
    std::unique_ptr<unsigned char[]> data(new unsigned char[d.size()]);
    memcpy(data.get(), d.data(), d.size());
    tagIPLIST list;
    std::string text;
    if (ParseDnsAnswer(data.get(), d.size(), kId, kHost, &list, text)) {
      ASSERT_GE(list.m_iCnt, 1);
      ASSERT_LE(list.m_iCnt, kIpListMax);
    }
  }
}

}  // namespace
