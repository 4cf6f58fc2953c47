// URL splitting, absolute links, dot segments and address tests.
#include "url_util.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

TEST(ParseUrl, SplitsIntoEightParts) {
  struct Case {
    const char* url;
    tagURL_PARSE want;
  } cases[] = {
      {"web://u:p@h:8080/a/b?x=1#top", {"web", "u", "p", "h", "8080", "/a/b", "x=1", "top"}},
      {"web://h/a#top", {"web", "", "", "h", "", "/a#top", "", ""}},
      {"web://user@h/", {"web", "", "", "user", "", "", "", ""}},
      {"h/a", {"", "", "", "", "", "", "", ""}},
      {"http://h?q=1#f", {"http", "", "", "h", "", "", "q=1", "f"}},
      {"https://H.example:443", {"https", "", "", "H.example", "443", "", "", ""}},
  };
  for (const Case& c : cases) {
    tagURL_PARSE got;
    got.m_path = "stale";
    parse_url(c.url, got);
    EXPECT_EQ(c.want.m_scheme, got.m_scheme) << c.url;
    EXPECT_EQ(c.want.m_username, got.m_username) << c.url;
    EXPECT_EQ(c.want.m_password, got.m_password) << c.url;
    EXPECT_EQ(c.want.m_hostname, got.m_hostname) << c.url;
    EXPECT_EQ(c.want.m_port, got.m_port) << c.url;
    EXPECT_EQ(c.want.m_path, got.m_path) << c.url;
    EXPECT_EQ(c.want.m_query, got.m_query) << c.url;
    EXPECT_EQ(c.want.m_fragment, got.m_fragment) << c.url;
  }
}

TEST(MakeAbsUrl, ResolvesAgainstBase) {
  struct Case {
    const char *base, *link, *want;
  } cases[] = {
      {"web://h:80/d/e.html", "x.html", "web://h/d/x.html"},
      {"web://h:80/d/e.html", "/y", "web://h/y"},
      {"web://h:80/d/e.html", "//k/z", "web://k/z"},
      {"web://h:80/d/e.html", "?q=1", "web://h/d/?q=1"},
      {"web://h:80/d/e.html", "ftp://k/z", "web://k/z"},
      {"web://h:80/d/e.html", "../up.html", "web://h/up.html"},
      {"web://h:8443/", "a", "web://h:8443/a"},
      {"web://h", "a", "web://h/a"},
      {"web://u:p@h/d/", "a", "web://u:p@h/d/a"},
      {"web://h/d/", "mailto:x@y", "web://h/d/x@y"},
      {"web://h/d/", "HTTPS://k/\r\nz", "HTTPS://k/z"},
      {"web://h/d/", "http://k/./z", "http://k/./z"},
      {"web://h/d/", "", ""},
  };
  for (const Case& c : cases) {
    std::string link = c.link;
    make_abs_url(c.base, link);
    EXPECT_EQ(c.want, link) << c.base << " + " << c.link;
  }
}

TEST(Reurl, CollapsesDotSegments) {
  struct Case {
    const char *in, *out;
  } cases[] = {
      {"web://h/a/b/../c", "web://h/a/c"}, {"web://h/../x", "web://h/x"},
      {"web://h/a/./b", "web://h/a/b"},    {"web://h/a/..", "web://h/a/.."},
      {"web://h/a/../../b", "web://h/b"},  {"web://h/p?x=/a/../b", "web://h/p?x=/b"},
      {"h/a/../b", "h/a/../b"},            {"web://h/./", "web://h/"},
  };
  for (const Case& c : cases) {
    std::string s = c.in;
    reurl(s);
    EXPECT_EQ(c.out, s) << c.in;
  }
}

TEST(IsHomePage, ExactPathsOnlyWithoutQuery) {
  EXPECT_TRUE(IsHomePage("", "/Index.php"));
  EXPECT_TRUE(IsHomePage("", ""));
  EXPECT_TRUE(IsHomePage("", "/"));
  EXPECT_TRUE(IsHomePage("", "/default.aspx"));
  EXPECT_FALSE(IsHomePage("a=1", "/Index.php"));
  EXPECT_FALSE(IsHomePage("", "/INDEX.HTML"));
  EXPECT_FALSE(IsHomePage("", "/default.asp"));
}

TEST(Addresses, IpTextsAndPrivateRanges) {
  EXPECT_TRUE(StrIsIP(""));
  EXPECT_TRUE(StrIsIP("1.2.3"));
  EXPECT_FALSE(StrIsIP("1.2.3.x"));
  EXPECT_EQ(static_cast<int>(inet_addr("10.1.2.3")), ip2int("10.1.2.3"));
  EXPECT_EQ(-1, ip2int("nonsense"));
  struct Case {
    const char* ip;
    bool priv;
  } cases[] = {{"172.31.0.1", true},     {"172.32.0.1", false}, {"172.16.0.0", true},
               {"192.168.300.1", false}, {"127.0.0.1", false},  {"10.0.0.1", true},
               {"192.168.1.1", true},    {"8.8.8.8", false},    {"10.1.2", false}};
  for (const Case& c : cases) EXPECT_EQ(c.priv, IsIntranetIP(c.ip)) << c.ip;
  EXPECT_FALSE(IsIntranetIP(nullptr));
}

TEST(RemoveReturn, BlanksLineBreaks) { EXPECT_EQ("a b  c", RemoveReturn("a\rb\r\nc")); }

}  // namespace
