// The crawler binary end to end: URLs from dispatcher_sim, hosts from a
// test dnsmasq, pages from tools/http_sim, and what comes out of it: the
// result records, the audit lines and the feedback calls the dispatcher
// receives. Each suite runs one crawl and checks its items.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "crawl_run.h"
#include "kpub/kmd5.h"
#include "record_file.h"

namespace e2e {

namespace {

constexpr int kCrawlMs = 90000;
const char kWww[] = "www.site.test";
const char kOther[] = "other.site.test";
const char kHome[] = "home.site.test";
const char kHosts[] = "127.0.0.1 www.site.test\n127.0.0.1 other.site.test\n";
// Answered by the DNS cache service: its addresses go back to the dispatcher.
const char kCachedHosts[] = "home.site.test 127.0.0.1\n";
// 127.0.0.1 as the wire carries it (network byte order read as an int).
const char kLoopbackWire[] = "16777343";
const char kPageBody[] = "<html><body>caf\xc3\xa9 \xd6\xd0\xce\xc4 \xff</body></html>";

Response Page(const std::string& body, const std::string& ctype = "text/html") {
  return {{"body", body}, {"ctype", ctype}};
}

Response Moved(int status, const std::string& target) {
  return {{"status", std::to_string(status)}, {"header", "Location: " + target}, {"body", ""}};
}

std::string Meta(const std::string& content) {
  return "<meta http-equiv=\"Refresh\" content=\"" + content + "\">";
}

const Routes& SiteRoutes() {
  static const Routes routes = {
      {"/page", Page(kPageBody)},
      {"/missing", {{"status", "404"}, {"body", "gone"}}},
      {"/logo.png", Page("\x89PNG\r\n", "image/png")},
      {"/big", {{"size", "2200000"}}},
      {"/form", Page("posted")},
      {"/chain1", Moved(302, "http://other.site.test:PORT/chain2")},
      {"/chain2", Moved(302, "/chain3")},
      {"/chain3", Page("end of chain")},
      {"/deep/page", Moved(302, "http://www.site.test:PORT/")},
      {"/deep/moved", Moved(301, "http://other.site.test:PORT/")},
      {"/", Page("<p>tiny</p>")},
      {"/tonx", Moved(302, "http://nx.site.test:PORT/x")},
      {"/meta0", Page("<html><head>" + Meta("0; url=meta0-target") + "</head></html>")},
      {"/meta0-target", Page("meta arrived")},
      {"/metalate", Page("<html>" + std::string(2100, ' ') + Meta("0; url=/late-target"))},
      {"/metacc", Page("<!--[if IE]>" + Meta("0; url=/cc-target") + "<![endif]-->")},
      {"/metans", Page("<noscript>" + Meta("0; url=/ns-target") + "</noscript>")},
      {"/meta10", Page(Meta("10; url=/meta10-target"))},
      {"/meta10-target", Page("waited")},
      {"/js1",
       Page("<script type=\"text/javascript\">window.location.href=\"js1-target\";</script>")},
      {"/js1-target", Page("script one")},
      {"/js2", Page("<body onload=\"document.location.href='/js2-target'\"><p>x</p>")},
      {"/js2-target", Page("script two")},
      {"/js3", Page("<script>function reload(){ document.location.reload(); } "
                    "setTimeout(\"reload()\", 1000);</script>")},
      {"/hop1", Moved(302, "/hop2")},
      {"/hop2", Moved(302, "/hop3")},
      {"/hop3", Moved(302, "/hop4")},
      {"/hop4", Page(Meta("0; url=/hop-never"))},
      {"/robots.txt",
       Page("User-agent: *\nDisallow: /private/\nAllow: /private/open\n", "text/plain")},
      {"/html/robots.txt", Page("<html>no rules here</html>")},
      {"/given-ip", Page("dispatcher address")},
      {"/via-proxy", Page("through the proxy")},
      {"/xml", Page("<script>window.location.href='/xml-target';</script>", "text/xml")},
      {"/toverify", Moved(302, "http://verify.site.test:PORT/check")},
  };
  return routes;
}

class Crawl {
 public:
  Crawl(const std::string& urls, int items, const std::string& ini) {
    run.reset(new CrawlRun());
    started = run->Start(kHosts, kCachedHosts, SiteRoutes(), urls, ini) &&
              run->WaitFinished(items, kCrawlMs);
    records = ParseRecords(run->Records());
    audit = run->Audit();
  }
  std::string Url(const std::string& host, const std::string& path) const {
    return run->Url(host, path);
  }
  // The only record of `url`; a failure when there is not exactly one.
  Record One(const std::string& url) const {
    std::vector<Record> found = RecordsOf(records, url);
    EXPECT_EQ(1u, found.size()) << url;
    return found.empty() ? Record() : found[0];
  }
  std::string Emit(const std::string& url) const {
    std::vector<std::string> lines = AuditLinesOf(audit, "emit", url);
    EXPECT_EQ(1u, lines.size()) << url;
    return lines.empty() ? std::string() : lines[0];
  }
  bool Requested(const std::string& target) const {
    return run->Requests().find("\"target\": \"" + target + "\"") != std::string::npos;
  }
  int TimesRequested(const std::string& target) const {
    std::string log = run->Requests();
    std::string needle = "\"target\": \"" + target + "\"";
    int n = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) ++n;
    return n;
  }

  std::unique_ptr<CrawlRun> run;
  bool started = false;
  std::vector<Record> records;
  std::string audit;
};

const char kMainUrls[] =
    "http://www.site.test:PORT/page\tdata_category=catA;catB\n"
    "http://www.site.test:PORT/missing\n"
    "http://www.site.test:PORT/logo.png\n"
    "http://www.site.test:PORT/big\n"
    "http://www.site.test:PORT/form\tpostdata=a=1&b=2\n"
    "http://www.site.test:PORT/chain1\n"
    "http://www.site.test:PORT/deep/page\n"
    "http://www.site.test:PORT/deep/moved\n"
    "http://www.site.test:PORT/tonx\n"
    "http://home.site.test:PORT/\n"
    "http://www.site.test:PORT/meta0\n"
    "http://www.site.test:PORT/metalate\n"
    "http://www.site.test:PORT/metacc\n"
    "http://www.site.test:PORT/metans\n"
    "http://www.site.test:PORT/meta10\n"
    "http://www.site.test:PORT/js1\n"
    "http://www.site.test:PORT/js2\n"
    "http://www.site.test:PORT/js3\n"
    "http://www.site.test:PORT/hop1\n"
    "http://www.site.test:PORT/robots.txt\tdata_type=robots\n"
    "http://www.site.test:PORT/html/robots.txt\tdata_type=robots\n"
    "http://www.site.test:PORT/given-ip\tip=127.0.0.1\n"
    "http://www.site.test:PORT/via-proxy\tproxy_addr=127.0.0.1:PROXY\tproxy_name=px1\n"
    "http://www.site.test:PORT/page?nobody\tdata_type=meta-search-nobody\n"
    "http://www.site.test:PORT/chain1?nobody\tdata_type=meta-search-nobody\n"
    "http://www.site.test:PORT/xml\n"
    "http://www.site.test:PORT/toverify\n";
constexpr int kMainItems = 27;
// The verification-host rule applied to the test domain.
const char kMainIni[] =
    "[download]\nmeta_jump_max_second = 30\nsearch_engine_domain = .site.test\n"
    "search_engine_verify_host = verify.site.test\n";

class MainCrawl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { crawl = new Crawl(kMainUrls, kMainItems, kMainIni); }
  static void TearDownTestSuite() {
    delete crawl;
    crawl = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(crawl->started) << crawl->run->Messages(); }
  std::string Url(const std::string& path, const std::string& host = kWww) {
    return crawl->Url(host, path);
  }

  static Crawl* crawl;
};

Crawl* MainCrawl::crawl = nullptr;

TEST_F(MainCrawl, PageRecordPerCategoryCarriesTheServedBytes) {
  std::vector<Record> found = RecordsOf(crawl->records, Url("/page"));
  ASSERT_EQ(2u, found.size());
  EXPECT_EQ("catA", found[0].category);
  EXPECT_EQ("catB", found[1].category);
  for (const Record& r : found) {
    EXPECT_EQ("0", r.Field("errno"));
    EXPECT_EQ("200", r.Field("httpcode"));
    EXPECT_EQ(kPageBody, r.Page());
    EXPECT_EQ(std::to_string(strlen(kPageBody)), r.Field("pagesize"));
    EXPECT_EQ("0", r.Field("cuthtmlflag"));
    EXPECT_EQ(Url("/page"), r.Field("durl"));
    EXPECT_EQ("127.0.0.1", r.Field("lastip"));
  }
  EXPECT_EQ(found[0].Field("content"), found[1].Field("content"));
}

TEST_F(MainCrawl, FailuresAndCutPages) {
  Record missing = crawl->One(Url("/missing"));
  EXPECT_EQ("-1", missing.Field("errno"));
  EXPECT_EQ("404", missing.Field("httpcode"));
  EXPECT_FALSE(missing.Has("value"));
  Record logo = crawl->One(Url("/logo.png"));
  EXPECT_EQ("-3", logo.Field("errno"));
  EXPECT_FALSE(logo.Has("value"));
  EXPECT_FALSE(crawl->run->Messages().find("Content Type is not download type. url=[" +
                                           Url("/logo.png") + "]") == std::string::npos);
  Record big = crawl->One(Url("/big"));
  EXPECT_EQ("0", big.Field("errno"));
  EXPECT_EQ("1", big.Field("cuthtmlflag"));
  EXPECT_GE(atol(big.Field("pagesize").c_str()), 2097152);
  EXPECT_EQ(std::string(big.Page().size(), 'a'), big.Page());
}

TEST_F(MainCrawl, PostItemIsRewritten) {
  const std::string url = Url("/form") + "?a=1&b=2&method=post";
  Record r = crawl->One(url);
  EXPECT_EQ(url, r.Field("durl"));
  EXPECT_EQ("posted", r.Page());
  EXPECT_EQ(KPub::Md5Hex(url), AuditField(crawl->Emit(url), "key"));
}

TEST_F(MainCrawl, RedirectChainAcrossHosts) {
  Record r = crawl->One(Url("/chain1"));
  EXPECT_EQ("0", r.Field("errno"));
  EXPECT_EQ("200", r.Field("httpcode"));
  EXPECT_EQ(Url("/chain3", kOther), r.Field("durl"));
  EXPECT_EQ("end of chain", r.Page());
  EXPECT_TRUE(crawl->Requested("/chain2"));
}

TEST_F(MainCrawl, HomePageRedirectsFollowedOnlyWhenPermanent) {
  Record deep = crawl->One(Url("/deep/page"));
  EXPECT_EQ("302", deep.Field("httpcode"));
  EXPECT_EQ(Url("/deep/page"), deep.Field("durl"));
  std::string emit = crawl->Emit(Url("/deep/page"));
  EXPECT_EQ("1", AuditField(emit, "JumpHomePageflag"));
  EXPECT_EQ("0", AuditField(emit, "301flag"));

  // Followed to the other host's home page, which turns out to need scripts:
  // such a page is reported under the item's own URL.
  EXPECT_NE(std::string::npos, crawl->run->Requests().find("Host: other.site.test\""));
  emit = crawl->Emit(Url("/deep/moved"));
  EXPECT_EQ("0", AuditField(emit, "JumpHomePageflag"));
  EXPECT_EQ("1", AuditField(emit, "301flag"));
}

TEST_F(MainCrawl, RedirectToHostWithoutAddress) {
  Record r = crawl->One(Url("/tonx"));
  EXPECT_EQ("-9", r.Field("errno"));
  EXPECT_EQ("http://nx.site.test:" + std::to_string(crawl->run->port()) + "/x", r.Field("durl"));
}

TEST_F(MainCrawl, SmallHomePageIsMarkedForScripts) {
  const std::string url = Url("/", kHome);
  Record r = crawl->One(url);
  EXPECT_EQ("-10", r.Field("errno"));
  EXPECT_EQ("0", r.Field("httpcode"));
  std::vector<std::string> lines = AuditLinesOf(crawl->audit, "redownload", url);
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("\tdata_type:html\t"));
  // The permanent redirect to a small home page ends the same way.
  EXPECT_EQ("-10", crawl->One(Url("/deep/moved")).Field("errno"));
}

TEST_F(MainCrawl, MetaRefreshes) {
  Record followed = crawl->One(Url("/meta0"));
  EXPECT_EQ(Url("/meta0-target"), followed.Field("durl"));
  EXPECT_EQ("meta arrived", followed.Page());
  Record waited = crawl->One(Url("/meta10"));
  EXPECT_EQ(Url("/meta10-target"), waited.Field("durl"));
  EXPECT_EQ("waited", waited.Page());
  for (const char* path : {"/metalate", "/metacc", "/metans"}) {
    Record r = crawl->One(Url(path));
    EXPECT_EQ(Url(path), r.Field("durl")) << path;
    EXPECT_EQ("0", r.Field("errno")) << path;
  }
  for (const char* target : {"/late-target", "/cc-target", "/ns-target"}) {
    EXPECT_FALSE(crawl->Requested(target)) << target;
  }
}

TEST_F(MainCrawl, ScriptJumps) {
  EXPECT_EQ(Url("/js1-target"), crawl->One(Url("/js1")).Field("durl"));
  EXPECT_EQ("script one", crawl->One(Url("/js1")).Page());
  EXPECT_EQ(Url("/js2-target"), crawl->One(Url("/js2")).Field("durl"));
  // A timed self-reload fetches the page once more, then stops.
  EXPECT_EQ(Url("/js3"), crawl->One(Url("/js3")).Field("durl"));
  EXPECT_EQ(2, crawl->TimesRequested("/js3"));
}

TEST_F(MainCrawl, NoJumpAfterThreeFollowUps) {
  Record r = crawl->One(Url("/hop1"));
  EXPECT_EQ(Url("/hop4"), r.Field("durl"));
  EXPECT_FALSE(crawl->Requested("/hop-never"));
}

TEST_F(MainCrawl, HeadOnlyItemsAreNeverFollowed) {
  const std::string page = Url("/page?nobody");
  EXPECT_TRUE(RecordsOf(crawl->records, page).empty());
  EXPECT_EQ("0", AuditField(crawl->Emit(page), "errno"));
  Record moved = crawl->One(Url("/chain1?nobody"));
  EXPECT_EQ("302", moved.Field("httpcode"));
  EXPECT_EQ(Url("/chain1?nobody"), moved.Field("durl"));
  EXPECT_NE(std::string::npos, crawl->run->Requests().find("\"method\": \"HEAD\""));
}

TEST_F(MainCrawl, NotFollowed) {
  // An XML answer is not searched for jumps.
  EXPECT_EQ(Url("/xml"), crawl->One(Url("/xml")).Field("durl"));
  EXPECT_FALSE(crawl->Requested("/xml-target"));
  // Nor is the search engine's verification host followed.
  Record verify = crawl->One(Url("/toverify"));
  EXPECT_EQ("302", verify.Field("httpcode"));
  EXPECT_EQ("-1", verify.Field("errno"));
  EXPECT_EQ(Url("/toverify"), verify.Field("durl"));
}

TEST_F(MainCrawl, RobotsRecords) {
  const std::string site = "http://www.site.test:" + std::to_string(crawl->run->port());
  Record rules = crawl->One(Url("/robots.txt"));
  EXPECT_EQ("0", rules.Field("errno"));
  EXPECT_EQ(site + "\t/private/\t/private/open", rules.Field("pattern"));
  EXPECT_TRUE(rules.Has("content"));
  Record html = crawl->One(Url("/html/robots.txt"));
  EXPECT_EQ("-1", html.Field("errno"));
  EXPECT_EQ(site + "\t\t", html.Field("pattern"));
  EXPECT_FALSE(html.Has("content"));
}

TEST_F(MainCrawl, FeedbackMatchesTheItems) {
  int hosts = 0;
  int www = 0;
  int given = 0;
  for (const std::string& line : crawl->run->DispatcherCalls("NotfiyDownloadFinish")) {
    hosts += SumOfCounts(line, "hosts_count");
    size_t at = line.find("\"www.site.test\":");
    if (at != std::string::npos) www += atoi(line.c_str() + at + 16);
    at = line.find(std::string("\"") + kLoopbackWire + "\":");
    if (at != std::string::npos) given += atoi(line.c_str() + at + strlen(kLoopbackWire) + 3);
  }
  EXPECT_EQ(kMainItems - 1, hosts);  // the proxied item is counted per proxy
  EXPECT_EQ(kMainItems - 2, www);
  EXPECT_EQ(1, given);
  std::vector<std::string> proxied = crawl->run->DispatcherCalls("NotfiyProxyDownloadFinish");
  ASSERT_EQ(1u, proxied.size());
  EXPECT_NE(std::string::npos,
            proxied[0].find("{\"proxy_name\":\"px1\",\"proxy_addr\":\"127.0.0.1:" +
                            std::to_string(crawl->run->proxyPort()) + "\",\"concurr_cnt\":1}"));
  EXPECT_NE(std::string::npos, crawl->run->Requests().find("\"server\": \"http_proxy\""));
  // Only addresses from the DNS cache service are handed back.
  std::string resolved;
  for (const std::string& line : crawl->run->DispatcherCalls("UpdateHostIps")) resolved += line;
  EXPECT_NE(std::string::npos,
            resolved.find(std::string("\"") + kHome + "\":[" + kLoopbackWire + "]"));
  EXPECT_EQ(std::string::npos, resolved.find(kWww));
}

class LimitedCrawl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    crawl = new Crawl("http://www.site.test:PORT/chain1\nhttp://www.site.test:PORT/meta10\n", 2,
                      "[download]\nmax_redirect_count = 0\nmeta_jump_max_second = 5\n");
  }
  static void TearDownTestSuite() {
    delete crawl;
    crawl = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(crawl->started) << crawl->run->Messages(); }

  static Crawl* crawl;
};

Crawl* LimitedCrawl::crawl = nullptr;

TEST_F(LimitedCrawl, NoRedirectFollowedAtLimitZero) {
  const std::string url = crawl->Url(kWww, "/chain1");
  Record r = crawl->One(url);
  EXPECT_EQ("302", r.Field("httpcode"));
  EXPECT_EQ("-1", r.Field("errno"));
  EXPECT_EQ(url, r.Field("durl"));
  EXPECT_FALSE(crawl->Requested("/chain2"));
}

TEST_F(LimitedCrawl, MetaDelayAboveTheLimitNotFollowed) {
  const std::string url = crawl->Url(kWww, "/meta10");
  EXPECT_EQ(url, crawl->One(url).Field("durl"));
  EXPECT_FALSE(crawl->Requested("/meta10-target"));
}

}  // namespace

}  // namespace e2e
