// The page scans and host rules behind the follow-up decisions: which part
// of a page meta refreshes are looked for in, the script-jump patterns,
// the title test, the document-page URL and the verification-host rule.
#include <gtest/gtest.h>

#include <string>

#include "FollowUp.h"

namespace {

TEST(MetaScanText, CutsAtTheLimitAndDropsHiddenBlocks) {
  const std::string tail(3000, 'z');
  struct Case {
    const char* name;
    std::string html;
    std::string expected;
  } cases[] = {
      {"short page unchanged", "<p>a</p>", "<p>a</p>"},
      {"cut at 2048 bytes", std::string(2040, 'a') + "<meta refresh>",
       std::string(2040, 'a') + "<meta re"},
      {"conditional comment", "a<!--[if IE]><meta x><![endif]-->b", "ab"},
      {"two comments", "<!--[if a]>1<![endif]-->x<!--[if b]>2<![endif]-->y", "xy"},
      {"unterminated comment kept", "a<!--[if IE]><meta x>", "a<!--[if IE]><meta x>"},
      {"comment match is case-sensitive", "<!--[IF IE]>m<![ENDIF]-->", "<!--[IF IE]>m<![ENDIF]-->"},
      {"noscript block", "a<noscript><meta x></noscript>b", "ab"},
      {"noscript inside a comment goes with it", "<!--[if x]><noscript>n</noscript><![endif]-->k",
       "k"},
      {"end marker only after the cut", "<!--[if x]>" + tail + "<![endif]-->",
       ("<!--[if x]>" + tail).substr(0, 2048)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, MetaScanText(c.html)) << c.name;
}

TEST(ScriptJump, EachPatternFindsItsTarget) {
  struct Case {
    const char* html;
    const char* target;
  } cases[] = {
      {"<script>var a; self.location = 'one.html';</script>", "one.html"},
      {"<script language=\"javascript\">location='two.html';</script>", "two.html"},
      {"<script>x(); self.location.href=(\"three.html\") </script>", "three.html"},
      {"<script> location.href = \"four.html\"</script>", "four.html"},
      {"<body onLoad=\"location.href='five.html'\">", "five.html"},
      {"<script type=\"text/javascript\">window.location.href=\"/six\";</script>", "/six"},
      {"<script>\n window.location = 'http://a.test/seven'\n</script>", "http://a.test/seven"},
      {"<SCRIPT>window.onload=function(){ window.location='eight.html'; }</SCRIPT>", "eight.html"},
      {"<script>document.location.href='nine.html'</script>", "nine.html"},
      {"<body onload=\"document.location.href='ten.html'\"><p>x</p>", "ten.html"},
  };
  for (const Case& c : cases) {
    ScriptJump jump;
    ASSERT_TRUE(FindScriptJump(c.html, jump)) << c.html;
    EXPECT_FALSE(jump.reload) << c.html;
    EXPECT_EQ(c.target, jump.target) << c.html;
  }
}

TEST(ScriptJump, TimedReloadGivesItsDelay) {
  ScriptJump jump;
  ASSERT_TRUE(
      FindScriptJump("<script>function reload(){ document.location.reload(); } "
                     "setTimeout(\"reload()\", 2500);</script>",
                     jump));
  EXPECT_TRUE(jump.reload);
  EXPECT_EQ(2500, jump.delayMillis);
}

TEST(ScriptJump, PagesWithoutJumps) {
  const char* pages[] = {
      "<p>location.href = 'x.html'</p>",  // not in a script
      "<script>var location2 = 1;</script>",
      "<script>window.location.href = </script>",
      "",
  };
  for (const char* page : pages) {
    ScriptJump jump;
    EXPECT_FALSE(FindScriptJump(page, jump)) << page;
  }
}

TEST(HasTitle, EmptyAndMissingTitlesCount) {
  EXPECT_TRUE(HasTitle("<html><TITLE>x</TITLE>"));
  EXPECT_FALSE(HasTitle("<html><body>no title</body>"));
  EXPECT_FALSE(HasTitle("<title></title><p>x</p>"));
  EXPECT_FALSE(HasTitle("<TITLE></Title><title>late</title>"));
}

TEST(IsDocPageUrl, ViewPagesOfTheConfiguredSite) {
  const std::string site = "http://" + g_strDocSiteHost;
  struct Case {
    std::string url;
    bool page;
  } cases[] = {
      {site + "/view/abc123.html", true},
      {site + "/view/ABC123.html", true},
      {"HTTP://" + g_strDocSiteHost + "/VIEW/x.HTML", true},
      {site + "/view/abc123.html?from=1", false},
      {site + "/view/abc123.html#top", false},
      {site + "/view/abc-123.html", false},
      {site + "/view/.html", false},
      {site + "/doc/abc.html", false},
      {"https://" + g_strDocSiteHost + "/view/abc.html", false},
      {site + ".evil.test/view/abc.html", false},
      {"http://x" + g_strDocSiteHost + "/view/abc.html", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.page, IsDocPageUrl(c.url)) << c.url;
}

TEST(IsVerificationRedirect, OnlyFromTheEngineDomainToItsVerificationHost) {
  const std::string domain = g_strSearchEngineDomain;
  const std::string verify = g_strSearchEngineVerifyHost;
  EXPECT_TRUE(IsVerificationRedirect("www" + domain, verify));
  EXPECT_TRUE(IsVerificationRedirect("a.b" + domain, verify));
  EXPECT_FALSE(IsVerificationRedirect("www.example.test", verify));
  EXPECT_FALSE(IsVerificationRedirect("www" + domain, "www" + domain));
  g_strSearchEngineDomain.clear();
  EXPECT_FALSE(IsVerificationRedirect("www" + domain, verify));
  g_strSearchEngineDomain = domain;
}

TEST(IsHttpUrl, SchemesInAnyCase) {
  EXPECT_TRUE(IsHttpUrl("http://a.test/"));
  EXPECT_TRUE(IsHttpUrl("HTTPS://a.test/"));
  EXPECT_FALSE(IsHttpUrl("ftp://a.test/"));
  EXPECT_FALSE(IsHttpUrl("javascript:void(0)"));
  EXPECT_FALSE(IsHttpUrl("http:/a.test"));
}

}  // namespace
