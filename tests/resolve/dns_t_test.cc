// The resolver thread: waiting items come back on the pending queue with an
// address, and what it resolved is cached.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

#include "DnsT.h"
#include "IpLruQueue.h"
#include "dns_fixtures.h"
#include "globals.h"

using namespace crawler_test;

namespace {

constexpr int kWaitRounds = 2000;  // of 5 ms

int Ip(const char* dotted) { return static_cast<int>(inet_addr(dotted)); }

class DnsTTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogToFile(m_dir.path() + "/crawler.log");
    g_pUrlMem = new HBlockMem(sizeof(tagURL_ITEM), 64, 16);
  }
  void TearDown() override {
    for (tagURL_ITEM* item : m_items) item->~tagURL_ITEM();
    delete g_pUrlMem;
    g_pUrlMem = nullptr;
  }
  tagURL_ITEM* Item(const std::string& url) {
    int no = -1;
    bool used = false;
    tagURL_ITEM* item = new (g_pUrlMem->Alloc(&no, used)) tagURL_ITEM();
    item->m_iCurNo = no;
    item->m_iIP = -1;
    item->m_bWaiting = false;
    item->m_strUrl = url;
    m_items.push_back(item);
    return item;
  }
  // Starts the thread, parks the items and collects them from the pending
  // queue in the order they came back.
  std::vector<int> Resolve(const std::string& ini, const std::vector<tagURL_ITEM*>& items,
                           std::vector<int> extraNumbers = {}) {
    DnsT thread;
    EXPECT_TRUE(thread.Init(WriteIni(m_dir, ini).c_str()));
    thread.start();
    for (int no : extraNumbers) g_WaitingList.AddTail(no);
    for (tagURL_ITEM* item : items) g_WaitingList.AddTail(item->m_iCurNo);
    std::vector<int> back;
    for (int round = 0; round < kWaitRounds && back.size() < items.size(); ++round) {
      int no;
      if (g_PendingList.Pop(no)) {
        back.push_back(no);
      } else {
        usleep(5000);
      }
    }
    thread.ThreadExit();
    return back;
  }
  std::string Log() const { return ReadFile(m_dir.path() + "/crawler.log"); }

  TempDir m_dir;
  std::vector<tagURL_ITEM*> m_items;
};

std::string Answer(const std::string& q) {
  std::string host = QueryName(q);
  if (host == "www.other.test") return MakeAnswer(QueryId(q), host, {{1, A(198, 51, 100, 9)}});
  return MakeAnswer(QueryId(q), host, {}, 0x8183);
}

TEST_F(DnsTTest, ResolvesCachesAndHandsBack) {
  UdpResponder responder(Answer);
  std::string ini =
      "[dns]\ndns_port=" + std::to_string(responder.port()) + "\ndns_server=127.0.0.1\n";
  tagURL_ITEM* first = Item("http://www.other.test/a");
  tagURL_ITEM* second = Item("http://www.other.test:8080/b?c");
  tagURL_ITEM* dead = Item("https://nx.other.test/");
  tagURL_ITEM* deadAgain = Item("http://nx.other.test/again");
  tagURL_ITEM* broken = Item("not a url");
  second->m_ips = {42};
  second->m_bWaiting = true;
  std::vector<int> back = Resolve(ini, {first, second, dead, deadAgain, broken}, {100000});
  EXPECT_EQ((std::vector<int>{first->m_iCurNo, second->m_iCurNo, dead->m_iCurNo,
                              deadAgain->m_iCurNo, broken->m_iCurNo}),
            back);
  EXPECT_EQ("www.other.test", first->m_strHost);
  EXPECT_EQ(Ip("198.51.100.9"), first->m_iIP);
  EXPECT_EQ(std::vector<int>{Ip("198.51.100.9")}, first->m_ips);
  EXPECT_FALSE(first->m_bWaiting);
  // Cache hit: the item's own list and flag stay as they were.
  EXPECT_EQ(Ip("198.51.100.9"), second->m_iIP);
  EXPECT_EQ(std::vector<int>{42}, second->m_ips);
  EXPECT_TRUE(second->m_bWaiting);
  for (tagURL_ITEM* item : {dead, deadAgain, broken}) EXPECT_EQ(0, item->m_iIP) << item->m_strUrl;
  EXPECT_EQ("", broken->m_strHost);
  EXPECT_EQ(2, responder.queries());
  int ip = -1;
  EXPECT_TRUE(g_IpLruQueue.Find("nx.other.test", ip, 0));
  EXPECT_EQ(0, ip);
  EXPECT_TRUE(g_IpLruQueue.Find("", ip, 0));
  EXPECT_EQ(0, ip);
  EXPECT_NE(std::string::npos,
            Log().find("ERROR search.download g_pUrlMem GetItem fail. iMemNo=[100000]"));
}

TEST_F(DnsTTest, ServiceAddressesMarkTheItem) {
  SinanSim sim;
  ASSERT_TRUE(sim.Start(m_dir, "svc.test 93.184.216.34 93.184.216.35\n"));
  std::string ini =
      "[sinan]\nsinan_server=127.0.0.1\nsinan_port=" + std::to_string(sim.port()) + "\n";
  tagURL_ITEM* item = Item("http://svc.test/");
  ASSERT_EQ(1u, Resolve(ini, {item}).size());
  EXPECT_TRUE(item->m_bWaiting);
  EXPECT_EQ((std::vector<int>{Ip("93.184.216.34"), Ip("93.184.216.35")}), item->m_ips);
  EXPECT_EQ(Ip("93.184.216.34"), item->m_iIP);
}

TEST_F(DnsTTest, RealServerAndSystemResolver) {
  Dnsmasq dnsmasq;
  ASSERT_TRUE(dnsmasq.Start(m_dir, "203.0.113.80 web.dnsmasq.test\n",
                            {"--cname=www.dnsmasq.test,web.dnsmasq.test"}));
  tagURL_ITEM* viaServer = Item("http://www.dnsmasq.test/index.html");
  ASSERT_EQ(
      1u, Resolve("[dns]\ndns_port=" + std::to_string(dnsmasq.port()) + "\ndns_server=127.0.0.1\n",
                  {viaServer})
              .size());
  EXPECT_EQ(Ip("203.0.113.80"), viaServer->m_iIP);
  tagURL_ITEM* viaSystem = Item("http://localhost/");
  ASSERT_EQ(1u, Resolve("[dns]\n", {viaSystem}).size());
  EXPECT_EQ(Ip("127.0.0.1"), viaSystem->m_iIP);
}

}  // namespace
