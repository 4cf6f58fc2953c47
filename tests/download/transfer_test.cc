// Whole transfers through the thread's loop against real loopback servers:
// what the server received, what the record kept, and how items move
// between the queues. Host names are made up and pinned to 127.0.0.x, so a
// request that arrives proves libcurl did no name resolution of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "IpLruQueue.h"
#include "download_harness.h"
#include "globals.h"
#include "http_sim_process.h"

namespace {

constexpr int kDoneSeconds = 30;

std::string Url(const std::string& host, int port, const std::string& pathQuery) {
  return "http://" + host + ":" + std::to_string(port) + pathQuery;
}

// Runs the items to completion and checks every one reached the done queue.
void RunAll(DownloadHarness& h, const std::vector<tagURL_ITEM*>& items) {
  for (tagURL_ITEM* item : items) h.Push(item);
  h.Start();
  std::vector<int> done = h.WaitDone(items.size(), kDoneSeconds);
  ASSERT_EQ(done.size(), items.size());
  ASSERT_TRUE(h.Stop(kDoneSeconds));
}

SimEvent Only(const HttpSimProcess& sim, const std::string& server, const std::string& needle) {
  std::vector<SimEvent> found = sim.Find(server, needle);
  EXPECT_EQ(found.size(), 1u) << server << " " << needle;
  return found.empty() ? SimEvent() : found[0];
}

TEST(Transfer, RequestHeadersRefererCookieAndPost) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  int port = sim.Port("http");
  DownloadHarness h;
  tagURL_ITEM* plain = h.NewItem(Url("site.test", port, "/plain?body=ok"));
  plain->m_strReferer = "http://ref.test/from";
  plain->m_strCookie = "a=1; b=2";
  tagURL_ITEM* agent = h.NewItem(Url("site.test", port, "/agent?body=ok"));
  agent->m_strUserAgent = "User-Agent: ItemAgent/2.0";
  tagURL_ITEM* post = h.NewItem(Url("site.test", port, "/post?body=ok"));
  post->m_strPostFields = "k=v&x=y";
  RunAll(h, {plain, agent, post});

  SimEvent p = Only(sim, "http", "/plain");
  EXPECT_EQ(p.method, "GET");
  EXPECT_EQ(p.Header("Accept"), "*/*");
  EXPECT_EQ(p.Header("Accept-Language"), "zh-CN");
  EXPECT_EQ(p.Header("Connection"), "Keep-Alive");
  EXPECT_EQ(p.Header("Host"), "site.test");
  EXPECT_EQ(p.Header("User-Agent"), "TestAgent/1.0");
  EXPECT_EQ(p.Header("Referer"), "http://ref.test/from");
  EXPECT_EQ(p.Header("Cookie"), "a=1; b=2");
  SimEvent a = Only(sim, "http", "/agent");
  EXPECT_EQ(a.Header("User-Agent"), "ItemAgent/2.0");
  EXPECT_EQ(a.Header("Referer"), agent->m_strUrl) << "the URL is its own referer";
  EXPECT_FALSE(a.HasHeader("Cookie"));
  SimEvent q = Only(sim, "http", "/post");
  EXPECT_EQ(q.method, "POST");
  EXPECT_EQ(q.body, "k=v&x=y");
  RetData* r = h.ResultOf(plain);
  EXPECT_EQ(r->m_lHttpRetCode, 200);
  EXPECT_EQ(r->m_strHtml, "ok");
  EXPECT_EQ(r->m_iCurLen, 2);
  EXPECT_EQ(r->m_iCurlRetCode, 0);
  EXPECT_NE(r->m_strHeader.find("HTTP/1.1 200 OK\r\n"), std::string::npos);
  EXPECT_EQ(r->m_iCurHeaderLen, static_cast<int>(r->m_strHeader.size()));
  EXPECT_STREQ(r->m_pszEffectiveUrl, plain->m_strUrl.c_str());
  EXPECT_GT(r->m_lDownLoadEndTime, r->m_lDownLoadStartTime);
  EXPECT_EQ(plain->m_strHost, "site.test");
}

TEST(Transfer, FilteredHostGetsIdentityOthersAreDecoded) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  int port = sim.Port("http");
  DownloadHarness h;
  const std::string text = "compressible-text-compressible-text-compressible-text";
  tagURL_ITEM* filtered = h.NewItem(Url(kFilteredHost, port, "/f?gzip=1&body=" + text));
  tagURL_ITEM* sub = h.NewItem(Url(std::string("www.") + kFilteredHost, port, "/s?gzip=1&body=x"));
  tagURL_ITEM* other = h.NewItem(Url("zipped.test", port, "/z?gzip=1&body=" + text));
  RunAll(h, {filtered, sub, other});

  EXPECT_EQ(Only(sim, "http", "/f?").Header("Accept-Encoding"), "identity");
  EXPECT_EQ(Only(sim, "http", "/s?").Header("Accept-Encoding"), "identity");
  std::string offered = Only(sim, "http", "/z?").Header("Accept-Encoding");
  EXPECT_NE(offered.find("gzip"), std::string::npos) << offered;
  EXPECT_EQ(h.ResultOf(filtered)->m_strHtml, text);
  EXPECT_EQ(h.ResultOf(other)->m_strHtml, text) << "gzip body not decoded";
  EXPECT_NE(h.ResultOf(other)->m_strHeader.find("Content-Encoding: gzip"), std::string::npos);
}

struct ScreenCase {
  const char* query;
  const char* dataType;
  bool aborted;
};

TEST(Transfer, ContentTypeScreeningOf2xxResponses) {
  const ScreenCase cases[] = {
      {"/c1?ctype=image/png&size=50", "html", true},
      {"/c2?ctype=image/png&size=50", "robots", false},
      {"/c3?ctype=image/png&size=50&status=404", "html", false},
      {"/c4?ctype=application/xhtml%2Bxml&size=50", "html", false},
      {"/c5?ctype=application/rss%2Bxml&size=50", "html", false},
      {"/c6?ctype=application/x-javascript&size=50", "html", false},
      {"/c7?ctype=application/octet-stream&size=50&status=206", "html", true},
      {"/c8?ctype=none&size=50", "html", false},
  };
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  std::vector<tagURL_ITEM*> items;
  for (const ScreenCase& c : cases) {
    items.push_back(h.NewItem(Url("screen.test", sim.Port("http"), c.query)));
    items.back()->m_strDataType = c.dataType;
  }
  RunAll(h, items);
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(cases[i].query);
    RetData* r = h.ResultOf(items[i]);
    if (cases[i].aborted) {
      EXPECT_EQ(r->m_iCurlRetCode, 23);
      EXPECT_EQ(r->m_iCurHeaderLen, 0);
      EXPECT_EQ(r->m_strHtml, "");
    } else {
      EXPECT_EQ(r->m_iCurlRetCode, 0);
      EXPECT_GT(r->m_iCurHeaderLen, 0);
      EXPECT_EQ(r->m_strHtml.size(), 50u);
    }
  }
}

TEST(Transfer, ResFlagAcceptsEveryType) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h("download_res_flag=1\n");
  tagURL_ITEM* image = h.NewItem(Url("res.test", sim.Port("http"), "/i?ctype=image/gif&size=9"));
  RunAll(h, {image});
  EXPECT_EQ(h.ResultOf(image)->m_iCurlRetCode, 0);
  EXPECT_EQ(h.ResultOf(image)->m_strHtml.size(), 9u);
}

TEST(Transfer, BodyCapAtExactlyTheLimitAndOneOver) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;  // download_max_length=1000
  tagURL_ITEM* at = h.NewItem(Url("cap.test", sim.Port("http"), "/at?size=1000"));
  tagURL_ITEM* over = h.NewItem(Url("cap.test", sim.Port("http"), "/over?size=1001"));
  RunAll(h, {at, over});
  RetData* a = h.ResultOf(at);
  RetData* o = h.ResultOf(over);
  EXPECT_FALSE(a->m_iCutHtmlFlag);
  EXPECT_EQ(a->m_iCurlRetCode, 0);
  EXPECT_EQ(a->m_strHtml.size(), 1000u);
  EXPECT_TRUE(o->m_iCutHtmlFlag);
  EXPECT_EQ(o->m_iCurlRetCode, 23);
  EXPECT_GE(o->m_strHtml.size(), 1000u);
}

TEST(Transfer, HttpsAndProxies) {
  HttpSimProcess sim(ScratchDir(), {"http", "https", "http_proxy", "socks5"});
  int http = sim.Port("http");
  DownloadHarness h;
  tagURL_ITEM* tls = h.NewItem("https://secure.test:" + std::to_string(sim.Port("https")) +
                               "/tls?body=secret");
  tagURL_ITEM* viaHttp = h.NewItem(Url("proxied.test", http, "/viahttp?body=p1"));
  viaHttp->m_strProxy = "127.0.0.1:" + std::to_string(sim.Port("http_proxy"));
  tagURL_ITEM* viaSocks = h.NewItem(Url("socks.test", http, "/viasocks?body=p2"));
  viaSocks->m_strProxy = "127.0.0.1:" + std::to_string(sim.Port("socks5"));
  viaSocks->m_chProxyType = 1;
  RunAll(h, {tls, viaHttp, viaSocks});

  EXPECT_EQ(Only(sim, "https", "/tls").Header("Host"), "secure.test");
  EXPECT_EQ(h.ResultOf(tls)->m_strHtml, "secret");
  SimEvent proxied = Only(sim, "http_proxy", "/viahttp");
  EXPECT_EQ(proxied.target, viaHttp->m_strUrl) << "the proxy is asked for the absolute URL";
  EXPECT_EQ(proxied.Header("Host"), "proxied.test");
  EXPECT_EQ(h.ResultOf(viaHttp)->m_strHtml, "p1");
  std::vector<SimEvent> socks = sim.Find("socks5", "");
  ASSERT_EQ(socks.size(), 1u);
  EXPECT_EQ(socks[0].host, "127.0.0.1") << "the pinned address goes to the proxy";
  EXPECT_EQ(socks[0].port, http);
  EXPECT_EQ(Only(sim, "http", "/viasocks").Header("Host"), "socks.test");
  EXPECT_EQ(h.ResultOf(viaSocks)->m_strHtml, "p2");
}

TEST(Transfer, IpNoReplaceIsFetchedAsGivenWithoutCacheOrPin) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  tagURL_ITEM* raw = h.NewItem(Url("127.0.0.1", sim.Port("http"), "/raw?body=r#frag"));
  raw->m_bIpNoReplace = true;
  raw->m_iIP = 0;
  tagURL_ITEM* unresolved = h.NewItem(Url("127.0.0.1", sim.Port("http"), "/unres?body=u"));
  unresolved->m_bIpNoReplace = true;
  unresolved->m_iIP = -1;
  RunAll(h, {raw, unresolved});
  EXPECT_TRUE(g_WaitingList.Empty());
  RetData* r = h.ResultOf(raw);
  EXPECT_EQ(r->m_strIP, "255.255.255.255");
  EXPECT_STREQ(r->m_pszNewUrl, raw->m_strUrl.c_str());
  EXPECT_EQ(r->m_clist, nullptr);
  EXPECT_EQ(r->m_strHtml, "r");
  EXPECT_EQ(h.ResultOf(unresolved)->m_strHtml, "u");
}

TEST(Transfer, CacheHitStartsAtOnceMissWaitsAndNoAddressEndsTheItem) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  int port = sim.Port("http");
  tagIPLIST local = {1, {Addr("127.0.0.1")}};
  g_IpLruQueue.Append("cached.test", local);
  DownloadHarness h;
  tagURL_ITEM* hit = h.NewItem(Url("cached.test", port, "/hit?body=h"));
  hit->m_iIP = -1;
  tagURL_ITEM* miss = h.NewItem(Url("uncached.test", port, "/miss?body=m"));
  miss->m_iIP = -1;
  tagURL_ITEM* noip = h.NewItem(Url("noip.test", port, "/noip?body=n"));
  noip->m_iIP = 0;
  h.Push(hit);
  h.Push(miss);
  h.Push(noip);
  h.Start();
  std::vector<int> done = h.WaitDone(2, kDoneSeconds);
  std::set<int> got(done.begin(), done.end());
  EXPECT_EQ(got, (std::set<int>{hit->m_iCurNo, noip->m_iCurNo}));
  int parked = -1;
  ASSERT_TRUE(g_WaitingList.Pop(parked));
  EXPECT_EQ(parked, miss->m_iCurNo);
  miss->m_iIP = Addr("127.0.0.1");  // as the resolver hands it back
  h.Push(miss);
  EXPECT_EQ(h.WaitDone(1, kDoneSeconds), std::vector<int>{miss->m_iCurNo});
  ASSERT_TRUE(h.Stop(kDoneSeconds));
  EXPECT_EQ(hit->m_iIP, Addr("127.0.0.1"));
  EXPECT_TRUE(sim.Find("http", "/noip").empty()) << "an item without address was fetched";
  EXPECT_EQ(Only(sim, "http", "/miss").Header("Host"), "uncached.test");
  EXPECT_EQ(Only(sim, "http", "/hit").Header("Host"), "cached.test");
}

// Binding a local address shows as the client address the server sees.
TEST(Transfer, LocalAddressesAreHandedOutInTurn) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h("download_interface=127.0.0.2;127.0.0.3\n");
  std::vector<tagURL_ITEM*> items;
  for (int i = 0; i < 4; ++i) {
    items.push_back(h.NewItem(Url("bind.test", sim.Port("http"), "/b" + std::to_string(i) + "?body=x")));
  }
  RunAll(h, items);
  std::vector<std::string> clients;
  for (int i = 0; i < 4; ++i) {
    std::string client = Only(sim, "http", "/b" + std::to_string(i) + "?").client;
    clients.push_back(client.substr(0, client.find(':')));
    EXPECT_EQ(clients.back(), h.ResultOf(items[i])->m_strInterfaceIP);
  }
  EXPECT_EQ(std::set<std::string>(clients.begin(), clients.end()),
            (std::set<std::string>{"127.0.0.2", "127.0.0.3"}));
}

TEST(Transfer, TrailingSeparatorLeavesEveryOtherItemUnbound) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h("download_interface=127.0.0.2;\n");
  tagURL_ITEM* first = h.NewItem(Url("half.test", sim.Port("http"), "/h1?body=x"));
  tagURL_ITEM* second = h.NewItem(Url("half.test", sim.Port("http"), "/h2?body=x"));
  RunAll(h, {first, second});
  for (tagURL_ITEM* item : {first, second}) {
    RetData* r = h.ResultOf(item);
    EXPECT_EQ(r->m_iCurlRetCode, 0) << "interface [" << r->m_strInterfaceIP << "]";
    EXPECT_EQ(r->m_strHtml, "x");
  }
}

// A later pin for the same host and port must win over the address cached
// for the first one, on a fresh connection to the new address.
TEST(Transfer, LaterPinForSameHostAndPortReplacesTheCachedAddress) {
  HttpSimProcess first(ScratchDir(), {"http"});
  int port = first.Port("http");
  HttpSimProcess second(ScratchDir(), {"http"}, "127.0.0.2", port);
  DownloadHarness h;
  tagURL_ITEM* a = h.NewItem(Url("moved.test", port, "/one?body=1"));
  h.Push(a);
  h.Start();
  ASSERT_EQ(h.WaitDone(1, kDoneSeconds).size(), 1u);
  tagURL_ITEM* b = h.NewItem(Url("moved.test", port, "/two?body=2"));
  b->m_iIP = Addr("127.0.0.2");
  h.Push(b);
  ASSERT_EQ(h.WaitDone(1, kDoneSeconds).size(), 1u);
  tagURL_ITEM* c = h.NewItem(Url("moved.test", port, "/three?body=3"));
  c->m_iIP = Addr("127.0.0.2");
  h.Push(c);
  ASSERT_EQ(h.WaitDone(1, kDoneSeconds).size(), 1u);
  ASSERT_TRUE(h.Stop(kDoneSeconds));
  EXPECT_EQ(first.Find("http", "/one").size(), 1u);
  EXPECT_EQ(second.Find("http", "/two").size(), 1u) << "the old address was used again";
  EXPECT_TRUE(first.Find("http", "/two").empty());
  EXPECT_EQ(Only(second, "http", "/three").client, Only(second, "http", "/two").client)
      << "a connection to the same address was not kept";
}

// One item at a time, so the pending queue is empty whenever a transfer is
// added: each must start on libcurl's timer, not after a full second of
// waiting in epoll. Ten of them stay far below ten seconds.
TEST(Transfer, TransfersAddedWithNothingPendingStartWithoutWaitingOutTheSecond) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  h.Start();
  auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < 10; ++i) {
    h.Push(h.NewItem(Url("one.test", sim.Port("http"), "/one" + std::to_string(i) + "?body=x")));
    ASSERT_EQ(h.WaitDone(1, kDoneSeconds).size(), 1u);
  }
  auto spent = std::chrono::steady_clock::now() - begin;
  EXPECT_LT(spent, std::chrono::seconds(5));
  ASSERT_TRUE(h.Stop(kDoneSeconds));
}

TEST(Transfer, AllHandlesBusyLeavesTheNextItemPending) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  std::vector<tagURL_ITEM*> items;
  for (int i = 0; i <= kParallelPerThread; ++i) {
    items.push_back(h.NewItem(Url("busy.test", sim.Port("http"), "/w" + std::to_string(i) + "?delay=1.5&body=x")));
    h.Push(items.back());
  }
  h.Start();
  bool sawFull = false;
  for (int i = 0; i < 200 && !sawFull; ++i) {
    sawFull = h.InFlight() == kParallelPerThread && g_PendingList.Size() == 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(sawFull) << "in flight " << h.InFlight() << ", pending " << g_PendingList.Size();
  EXPECT_EQ(h.WaitDone(items.size(), kDoneSeconds).size(), items.size());
  ASSERT_TRUE(h.Stop(kDoneSeconds));
}

TEST(Transfer, ClearingTheRunFlagDrainsTransfersInFlight) {
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  std::vector<tagURL_ITEM*> items;
  for (int i = 0; i < 3; ++i) {
    items.push_back(h.NewItem(Url("drain.test", sim.Port("http"), "/d" + std::to_string(i) + "?delay=1&body=x")));
    h.Push(items.back());
  }
  h.Start();
  for (int i = 0; i < 200 && h.InFlight() < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(h.InFlight(), 3);
  g_bLoadThreadRun = false;
  tagURL_ITEM* late = h.NewItem(Url("drain.test", sim.Port("http"), "/late?body=x"));
  h.Push(late);
  ASSERT_TRUE(h.Stop(kDoneSeconds));
  EXPECT_EQ(h.WaitDone(3, 1).size(), 3u);
  EXPECT_EQ(g_PendingList.Size(), 1u) << "an item was taken after the stop";
  EXPECT_EQ(h.InFlight(), 0);
  for (tagURL_ITEM* item : items) EXPECT_EQ(h.ResultOf(item)->m_strHtml, "x");
}

}  // namespace
