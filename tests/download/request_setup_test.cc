// Request set-up without traffic: the URL requested, the address pin, the
// local address choice, and the configuration that Create insists on.
#include <gtest/gtest.h>
#include <limits.h>

#include <fstream>
#include <set>

#include "DownLoadThread.h"
#include "INIFile.h"
#include "download_harness.h"
#include "globals.h"
#include "kpub/kstring.h"

namespace {

// A handle claimed for `item` as the transfer loop would, set up by hand.
struct Claim {
  Claim(DownLoadThread& t, tagURL_ITEM* item) : thread(t) {
    EXPECT_TRUE(t.GetDoneCurl(&curl, &data));
    EXPECT_TRUE(t.Add2DoingCurl(curl, data));
    EXPECT_TRUE(data->Init());
    data->m_pstUrlItem = item;
  }
  ~Claim() { thread.MoveDoingCurl2Done(curl, false); }
  bool Setup(const std::string& url, int ip) {
    strlcpy(buf, url.c_str(), sizeof buf);
    return thread.InitDownloadOpt(curl, buf, ip, true, buf);
  }
  std::vector<std::string> Pins() const {
    std::vector<std::string> out;
    for (curl_slist* p = data->m_clist; p != nullptr; p = p->next) out.push_back(p->data);
    return out;
  }

  DownLoadThread& thread;
  void* curl = nullptr;
  RetData* data = nullptr;
  char buf[kUrlBufferSize];
};

struct UrlCase {
  const char* url;
  bool noReplace;
  const char* requested;
  const char* pin;  // empty: no pin at all
  const char* ip;
};

TEST(RequestSetup, RequestedUrlPinAndAddress) {
  const UrlCase cases[] = {
      {"http://site.test/a?b=1", false, "http://site.test/a?b=1", "site.test:80:127.0.0.1",
       "127.0.0.1"},
      {"https://secure.test/", false, "https://secure.test/", "secure.test:443:127.0.0.1",
       "127.0.0.1"},
      {"HTTPS://Upper.test/x", false, "HTTPS://Upper.test/x", "Upper.test:443:127.0.0.1",
       "127.0.0.1"},
      {"http://u:pw@host.test:8080/a/b?q=1#frag", false, "http://host.test:8080/a/b?q=1",
       "host.test:8080:127.0.0.1", "127.0.0.1"},
      {"http://u:pw@raw.test:81/p?q#f", true, "http://u:pw@raw.test:81/p?q#f", "",
       "255.255.255.255"},
  };
  DownloadHarness h;
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    tagURL_ITEM* item = h.NewItem(c.url);
    item->m_bIpNoReplace = c.noReplace;
    Claim claim(h.thread(), item);
    ASSERT_TRUE(claim.Setup(c.url, Addr("127.0.0.1")));
    EXPECT_STREQ(claim.data->m_pszNewUrl, c.requested);
    EXPECT_EQ(claim.data->m_strIP, c.ip);
    std::vector<std::string> want;
    if (*c.pin != '\0') want.push_back(c.pin);
    EXPECT_EQ(claim.Pins(), want);
  }
}

TEST(RequestSetup, RefusesNonHttpSchemesAndKeepsPinsAcrossHops) {
  DownloadHarness h;
  tagURL_ITEM* item = h.NewItem("http://one.test/");
  Claim claim(h.thread(), item);
  EXPECT_FALSE(claim.Setup("ftp://one.test/file", Addr("127.0.0.1")));
  ASSERT_TRUE(claim.Setup("http://one.test/", Addr("127.0.0.1")));
  ASSERT_TRUE(claim.Setup("http://two.test:81/", Addr("127.0.0.9")));
  std::vector<std::string> want = {"one.test:80:127.0.0.1", "two.test:81:127.0.0.9"};
  EXPECT_EQ(claim.Pins(), want);
  EXPECT_EQ(claim.data->m_strIP, "127.0.0.9");
  ASSERT_TRUE(claim.data->Init());
  EXPECT_EQ(claim.data->m_clist, nullptr);
}

// The counter is shared and wraps; the index must stay inside the list.
TEST(RequestSetup, LocalAddressRotatesPerItemAndStaysForItsHops) {
  DownloadHarness h("download_interface=127.0.0.2;127.0.0.3;127.0.0.4\n");
  g_iIpId = INT_MAX - 1;
  std::vector<std::string> chosen;
  for (int i = 0; i < 4; ++i) {
    tagURL_ITEM* item = h.NewItem("http://rot.test/");
    Claim claim(h.thread(), item);
    ASSERT_TRUE(claim.Setup("http://rot.test/", Addr("127.0.0.1")));
    std::string first = claim.data->m_strInterfaceIP;
    ASSERT_TRUE(claim.Setup("http://other.test/next", Addr("127.0.0.1")));
    EXPECT_EQ(claim.data->m_strInterfaceIP, first) << "a later hop changed the address";
    chosen.push_back(first);
  }
  const std::set<std::string> known = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
  for (size_t i = 0; i < chosen.size(); ++i) {
    EXPECT_EQ(known.count(chosen[i]), 1u) << chosen[i];
    if (i > 0) {
      EXPECT_NE(chosen[i], chosen[i - 1]);
    }
  }
}

TEST(RequestSetup, ASingleAddressWithoutSeparatorBinds) {
  DownloadHarness h("download_interface=127.0.0.5\n");
  tagURL_ITEM* item = h.NewItem("http://single.test/");
  Claim claim(h.thread(), item);
  ASSERT_TRUE(claim.Setup("http://single.test/", Addr("127.0.0.1")));
  EXPECT_EQ(claim.data->m_strInterfaceIP, "127.0.0.5");
}

TEST(RequestSetup, WithoutAddressesNothingIsBound) {
  DownloadHarness h("auto_interface=0\n");
  tagURL_ITEM* item = h.NewItem("http://plain.test/");
  Claim claim(h.thread(), item);
  ASSERT_TRUE(claim.Setup("http://plain.test/", Addr("127.0.0.1")));
  EXPECT_EQ(claim.data->m_strInterfaceIP, "");
}

TEST(CreateConfig, EveryRequiredKeyIsNeeded) {
  const char* const lines[] = {
      "max_redirect_count=5\n",    "download_timeout=20\n",     "connect_timeout=5\n",
      "meta_jump_max_second=3\n",  "ignore_meta_jump_size=10000\n", "download_max_length=1000\n",
      "user_agent=User-Agent: x\n",
  };
  for (size_t skip = 0; skip <= sizeof lines / sizeof lines[0]; ++skip) {
    std::string text = "[download]\n";
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
      if (i != skip) text += lines[i];
    }
    std::string path = ScratchDir() + "/create.ini";
    std::ofstream(path) << text;
    int inflight = 0;
    DownLoadThread t("", 2097152, inflight, 0, kParallelPerThread);
    bool complete = skip == sizeof lines / sizeof lines[0];
    EXPECT_EQ(t.Create(path.c_str()), complete) << "without " << (complete ? "nothing" : lines[skip]);
  }
  int inflight = 0;
  DownLoadThread missing("", 2097152, inflight, 0, kParallelPerThread);
  EXPECT_FALSE(missing.Create((ScratchDir() + "/no-such.ini").c_str()));
}

TEST(CreateConfig, PoolHoldsParallelIdleHandles) {
  DownloadHarness h;
  std::vector<std::pair<void*, RetData*>> taken;
  void* curl = nullptr;
  RetData* data = nullptr;
  while (h.thread().GetDoneCurl(&curl, &data)) taken.emplace_back(curl, data);
  EXPECT_EQ(taken.size(), static_cast<size_t>(kParallelPerThread));
  EXPECT_FALSE(h.thread().HasDoneCurl());
  EXPECT_FALSE(h.thread().GetDoneCurl(nullptr, &data));
  for (size_t i = 1; i < taken.size(); ++i) EXPECT_LT(taken[i - 1].first, taken[i].first);
  for (auto& p : taken) {
    EXPECT_TRUE(h.thread().Add2DoingCurl(p.first, p.second));
    EXPECT_EQ(h.thread().GetDoingData(p.first), p.second);
    EXPECT_TRUE(h.thread().MoveDoingCurl2Done(p.first, false));
    EXPECT_EQ(h.thread().GetDoingData(p.first), nullptr);
  }
  EXPECT_FALSE(h.thread().MoveDoingCurl2Done(taken[0].first, false));
  EXPECT_TRUE(h.thread().HasDoneCurl());
}

}  // namespace
