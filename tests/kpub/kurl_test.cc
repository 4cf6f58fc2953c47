#include "kpub/kurl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using KPub::kurl;

std::unique_ptr<kurl> Make(const char* url, int memMode = KPub::KURL_MEM_FIXED) {
  return std::unique_ptr<kurl>(kurl::create(url, KPub::KURL_TYPE_PARTS, memMode));
}

std::string Text(const char* s) { return s == nullptr ? "(null)" : s; }

// A URL and its canonical form, with path re-encoding on or off.
struct NormCase {
  const char* url;
  bool flag;
  const char* normal;
};

template <size_t N>
void ExpectNormalForms(const NormCase (&cases)[N]) {
  for (const NormCase& c : cases)
    EXPECT_EQ(c.normal, Text(Make(c.url)->normalize(c.flag))) << c.url << " flag " << c.flag;
}

TEST(KurlNormalize, CanonicalForms) {
  const NormCase cases[] = {
      {"HTTP://WWW.Example.COM:80/a/./b/../c?x=1&PHPSESSID=abc#frag", true,
       "http://www.example.com/a/c?x=1"},
      {"www.example.com/a", true, "http://www.example.com/a"},
      {"https://www.example.com:443/", true, "https://www.example.com:443/"},
      {"http://www.example.com:8080", true, "http://www.example.com:8080/"},
      {"http://a.com:0080/", true, "http://a.com/"},
      {"http://www.example.com", true, "http://www.example.com/"},
      {"http://a.com#top", true, "http://a.com/"},
      {"http://a.com?x=1", true, "http://a.com/?x=1"},
      {"http://a.com/?", true, "http://a.com/"},
      {"  http://a.com/x \r\n", true, "http://a.com/x"},
      {"http://www.a.com./", true, "http://www.a.com/"},
      {"http://u:p@A.com/x", true, "http://u:p@a.com/x"},
      {"http://u@a.com/x", true, "http://u@a.com/x"},
      {"mailto:Someone@Example.COM", true, "mailto:Someone@example.com"},
      {"http://1.2.3.4/", true, "http://1.2.3.4/"},
  };
  ExpectNormalForms(cases);
}

TEST(KurlNormalize, PathSegmentsAndEscapes) {
  const NormCase cases[] = {
      {"http://a.com/a/b/", true, "http://a.com/a/b/"},
      {"http://a.com/../a", true, "http://a.com/a"},
      {"http://a.com//a//b", true, "http://a.com/a/b"},
      {"http://a.com/a/..", true, "http://a.com/"},
      {"http://a.com/a/b/../../../c/./", true, "http://a.com/c/"},
      {"http://a.com/%7e/a+b/c%20d", true, "http://a.com/~/a%20b/c%20d"},
      {"http://a.com/%7e/a+b/c%20d", false, "http://a.com/%7e/a+b/c%20d"},
      {"http://a.com/%c3%a9", true, "http://a.com/%C3%A9"},
      {"http://a.com/\xC3\xA9", true, "http://a.com/%C3%A9"},
      {"http://a.com/%zz%4", true, "http://a.com/%25zz%254"},
      {"http://a.com/x%2Fy", true, "http://a.com/x%2Fy"},
      {"http://a.com/a&b=c!d,e:f;(g)~{h}", true, "http://a.com/a&b%3Dc%21d,e:f;(g)~{h}"},
      {"http://a.com/a%00b", true, "http://a.com/a%00b"},
  };
  ExpectNormalForms(cases);
}

TEST(KurlNormalize, QueryParameters) {
  const NormCase cases[] = {
      {"http://a.com/?sessionid=1&SessionID=2&sessionid1=3&sid=4", true,
       "http://a.com/?sessionid1=3&sid=4"},
      {"http://a.com/?Session-Id=1&session_id=2&k=v", true, "http://a.com/?k=v"},
      {"http://a.com/?q=a+b&r=%7e&s=x/y", false, "http://a.com/?q=a%20b&r=~&s=x/y"},
      {"http://a.com/?=x&a&b=&c=1", true, "http://a.com/?a&b=&c=1"},
      {"http://a.com/?a=%26&b=1=2&%3D=x", true, "http://a.com/?a=%26&b=1%3D2&%3D=x"},
      {"http://a.com/?&&a=1&&", true, "http://a.com/?a=1"},
      {"http://a.com/?%70hpsessid=1&b=2", true, "http://a.com/?b=2"},
  };
  ExpectNormalForms(cases);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

struct ErrCase {
  std::string url;
  int code;
};

void ExpectCodes(const ErrCase* cases, size_t n, int memMode) {
  for (size_t i = 0; i < n; ++i) {
    std::unique_ptr<kurl> u = Make(cases[i].url.c_str(), memMode);
    EXPECT_EQ(cases[i].code, u->getErrorCode())
        << cases[i].url.substr(0, 80) << " mode " << memMode;
    // A URL with an error has no canonical form; the caller keeps it as it was.
    if (cases[i].code != 0) {
      EXPECT_EQ(nullptr, u->normalize(true)) << cases[i].url.substr(0, 80);
    }
  }
}

TEST(KurlSetUrl, HostChecks) {
  const std::string label63 = Repeat('a', 63);
  std::string labels31, labels32;
  for (int i = 0; i < 30; ++i) labels31 += "a.";  // with "com": 31 labels
  labels32 = labels31 + "a.";
  const ErrCase cases[] = {
      {"", 10002},
      {" \t\r\n", 10002},
      {"localhost", 10003},
      {"localhost/x", 10003},
      {"/x/y", 10003},
      {"../a.com/x", 10003},
      {"./x", 10003},
      {"http://", 10003},
      {"localhost:8080", 10005},
      {"user@localhost", 10005},
      {"com.", 10005},
      {"1.2.3.4", 0},
      {"255.255.255.255:81", 0},
      {"1.2.3", 10004},
      {"1.2.3.256", 10004},
      {"1.2.3.0400", 10004},
      {"0.0.0.0", 10004},
      {"1.2.3.4.5", 10004},
      {"a.1.2.3", 10004},
      {"www.example.zz", 10004},
      {"www.example.app", 10004},
      {"a..com", 10004},
      {".a.com", 10004},
      {"http://:80/", 10004},
      {"www." + label63 + ".com", 0},
      {"www." + label63 + "a.com", 10006},
      {labels31 + "com", 0},
      {labels31 + "com.", 0},
      {labels32 + "com", 10007},
      {"a.com:8x", 10015},
      {"a.com:0", 10015},
      {"a.com:", 10015},
      {"a.com:65535", 0},
      {"a.com:65536", 10015},
      {"a.com:99999999999999999999", 10015},
      {"a.com:80:90", 10015},
  };
  ExpectCodes(cases, sizeof cases / sizeof cases[0], KPub::KURL_MEM_FIXED);
  std::unique_ptr<kurl> none(kurl::create(KPub::KURL_TYPE_PARTS, KPub::KURL_MEM_FIXED));
  EXPECT_EQ(10001, none->getErrorCode());
  EXPECT_EQ(10001, none->setUrl(static_cast<const char*>(nullptr)));
  EXPECT_EQ(nullptr, none->normalize(true));
}

TEST(KurlSetUrl, PartLimitsOfFixedBuffers) {
  const std::string host250 = Repeat('h', 60) + "." + Repeat('h', 60) + "." + Repeat('h', 60) +
                              "." + Repeat('h', 60) + ".com";  // 248 characters
  const ErrCase fixed[] = {
      {Repeat('s', 15) + "://a.com/", 0},
      {Repeat('s', 16) + "://a.com/", 10009},
      {"http://" + Repeat('u', 31) + "@a.com/", 0},
      {"http://" + Repeat('u', 32) + "@a.com/", 10010},
      {"http://u:" + Repeat('p', 63) + "@a.com/", 0},
      {"http://u:" + Repeat('p', 64) + "@a.com/", 10011},
      {"http://hhhhhhh." + host250 + "/", 0},
      {"http://hhhhhhhh." + host250 + "/", 10012},
      {"http://a.com/" + Repeat('p', 510), 0},
      {"http://a.com/" + Repeat('p', 511), 10013},
      {"http://a.com/?" + Repeat('q', 511), 0},
      {"http://a.com/?" + Repeat('q', 512), 10014},
      {"http://a.com/#" + Repeat('f', 2047 - 14), 0},
      {"http://a.com/#" + Repeat('f', 2048 - 14), 10002},
  };
  ExpectCodes(fixed, sizeof fixed / sizeof fixed[0], KPub::KURL_MEM_FIXED);
  const ErrCase sized[] = {
      {Repeat('s', 16) + "://a.com/", 0},
      {"http://a.com/" + Repeat('p', 3000), 0},
      {"http://a.com/?" + Repeat('q', 3000), 0},
      {"http://a.com/#" + Repeat('f', 4095 - 14), 0},
      {"http://a.com/#" + Repeat('f', 4096 - 14), 10002},
  };
  ExpectCodes(sized, sizeof sized / sizeof sized[0], KPub::KURL_MEM_ALLOC);
}

TEST(KurlNormalize, ResultLimit) {
  // Every "!" becomes "%21": the parts fit their buffers but the result would not.
  const std::string url = "http://a.com/" + Repeat('!', 400) + "?q=" + Repeat('!', 400);
  std::unique_ptr<kurl> fixed = Make(url.c_str());
  ASSERT_EQ(0, fixed->getErrorCode());
  EXPECT_EQ(nullptr, fixed->normalize(true));
  EXPECT_EQ(10002, fixed->getErrorCode());
  std::unique_ptr<kurl> sized = Make(url.c_str(), KPub::KURL_MEM_ALLOC);
  const char* normal = sized->normalize(true);
  ASSERT_NE(nullptr, normal);
  EXPECT_EQ(13u + 1200 + 3 + 1200, strlen(normal));
  // Without path re-encoding the same URL fits.
  EXPECT_NE(nullptr, Make(("http://a.com/" + Repeat('!', 400) + "?q=1").c_str())->normalize(false));
}

TEST(KurlDomain, RegistrableDomainAndLevels) {
  struct Case {
    const char* url;
    int level;
    const char* domain;
  } cases[] = {
      {"www.sina.com.cn", 0, "sina.com.cn"},
      {"www.sina.com.cn", 1, "www.sina.com.cn"},
      {"www.sina.com.cn", 2, nullptr},
      {"WWW.Google.COM", 0, "google.com"},
      {"a.b.bbc.co.uk", 0, "bbc.co.uk"},
      {"a.b.bbc.co.uk", 2, "a.b.bbc.co.uk"},
      {"a.b.bbc.co.uk", -1, nullptr},
      {"com.cn", 0, "com.cn"},
      {"x.sample.ad", 0, "sample.ad"},
      {"x.sample.zw", 0, "sample.zw"},
      {"x.sample.ac", 0, "sample.ac"},
      {"x.sample.museum", 0, "sample.museum"},
      {"x.sample.onion", 0, "sample.onion"},
      {"1.2.3.4", 0, "1.2.3.4"},
      {"localhost:80", 0, nullptr},
      {"www.example.zz", 0, nullptr},
      {"www.example.com", 0, "www.example.com"},  // "example" is a listed generic name
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text(c.domain), Text(Make(c.url)->getDomainName(c.level, false)))
        << c.url << " level " << c.level;

  std::unique_ptr<kurl> u = Make("http://www.\xC3\xA9t\xC3\xA9.com/");
  EXPECT_EQ("%C3%A9t%C3%A9.com", Text(u->getDomainName(0, true)));
  EXPECT_EQ("\xC3\xA9t\xC3\xA9.com", Text(u->getDomainName(0, false)));

  std::unique_ptr<kurl> one = Make("http://localhost:8080/");
  EXPECT_EQ(10005, one->getErrorCode());
  EXPECT_EQ(nullptr, one->getDomainName(0, false));
  one->setStrictFlag(0);
  EXPECT_EQ("localhost", Text(one->getDomainName(0, false)));
}

TEST(KurlLists, PrivateFilterAndRootLists) {
  const char* filter[] = {"sid", "Token", nullptr};
  const char* root[] = {"LOCAL", "corp", nullptr};
  std::unique_ptr<kurl> u(kurl::create("http://a.b.corp.local/?sid=1&sessionid=2&TOKEN=3&tokens=4",
                                       KPub::KURL_TYPE_PARTS, KPub::KURL_MEM_FIXED, filter, root));
  ASSERT_EQ(0, u->getErrorCode());
  EXPECT_EQ("http://a.b.corp.local/?sessionid=2&tokens=4", Text(u->normalize(true)));
  EXPECT_EQ("b.corp.local", Text(u->getDomainName(0, false)));
  EXPECT_EQ(10004, u->setUrl("http://www.example.com/"));
  EXPECT_EQ(0, u->setUrl("http://corp.local/"));
  EXPECT_EQ("corp.local", Text(u->getDomainName(0, false)));

  u->setRootDNS(nullptr);
  u->setFilter(nullptr);
  EXPECT_EQ(0, u->setUrl("http://www.example.com/?sid=1&sessionid=2"));
  EXPECT_EQ("http://www.example.com/?sid=1", Text(u->normalize(true)));
}

TEST(KurlParts, GettersAndTypes) {
  std::unique_ptr<kurl> u = Make("HTTP://u:p@Host.COM:8080/p/A?q=1#f");
  EXPECT_EQ("http", Text(u->getSchema()));
  EXPECT_EQ("u", Text(u->getUsername()));
  EXPECT_EQ("p", Text(u->getPassword()));
  EXPECT_EQ("host.com", Text(u->getHostname()));
  EXPECT_EQ(8080, u->getPort());
  EXPECT_EQ("/p/A?q=1", Text(u->getQueryPath()));
  EXPECT_EQ("q=1", Text(u->getQuery()));
  EXPECT_EQ("f", Text(u->getFragment()));
  const char* fields[KPub::KURL_FIELD_COUNT];
  EXPECT_EQ(0, u->getFields(fields));
  EXPECT_EQ("host.com", Text(fields[KPub::KURL_F_HOST]));
  EXPECT_EQ("/p/A", Text(fields[KPub::KURL_F_PATH]));

  std::unique_ptr<kurl> bare = Make("a.com");
  EXPECT_EQ(nullptr, bare->getSchema());
  EXPECT_EQ(nullptr, bare->getUsername());
  EXPECT_EQ(nullptr, bare->getQueryPath());
  EXPECT_EQ(0, bare->getPort());

  // Other types only validate.
  std::unique_ptr<kurl> check(kurl::create("http://a.com/x", 0, KPub::KURL_MEM_FIXED));
  EXPECT_EQ(0, check->getErrorCode());
  EXPECT_EQ(10005, check->setUrl("http://localhost:80/"));
  EXPECT_EQ(0, check->setUrl(std::string("http://a.com/x")));
  EXPECT_EQ(nullptr, check->normalize(true));
  EXPECT_EQ(nullptr, check->getHostname());
  check->setType(KPub::KURL_TYPE_PARTS);
  EXPECT_EQ("http://a.com/x", Text(check->normalize(true)));
}

TEST(KurlNormalize, UrlArgumentReplacesTheCurrentUrl) {
  std::unique_ptr<kurl> u(kurl::create(KPub::KURL_TYPE_PARTS, KPub::KURL_MEM_FIXED));
  EXPECT_EQ("http://a.com/x", Text(u->normalize("http://A.com/x", true)));
  EXPECT_EQ("http://a.com/x", Text(u->normalize(std::string("http://A.com/x"), true)));
  EXPECT_EQ("http://b.com/", Text(u->normalize("b.com", true)));
  EXPECT_EQ("b.com", Text(u->getHostname()));
  EXPECT_EQ(nullptr, u->normalize("localhost", true));
  EXPECT_EQ(10003, u->getErrorCode());
}

TEST(KurlMakeAbsUrl, RelativeReferences) {
  struct Case {
    const char *base, *rel, *abs;
  } cases[] = {
      {"http://a.com/d/e?x", "f", "http://a.com/d/f"},
      {"http://a.com/d/e?x", "../f", "http://a.com/f"},
      {"http://a.com/d/e?x", "/g", "http://a.com/g"},
      {"http://a.com/d/e?x", "//b.com/h", "http://b.com/h"},
      {"https://a.com/d/e?x", "//b.com/h", "https://b.com/h"},
      {"http://a.com/d/e?x", "?y=1", "http://a.com/d/e?y=1"},
      {"http://a.com/d/e?x", "", "http://a.com/d/e?x"},
      {"http://a.com/d/e?x", "#frag", "http://a.com/d/e?x"},
      {"http://a.com/d/e?x", "HTTPS://C.com", "https://c.com/"},
      {"http://a.com/d/e?x", "g?u=http://b.com/", "http://a.com/d/g?u=http://b.com/"},
      {"http://a.com:81/x/", "y", "http://a.com:81/x/y"},
      {"http://a.com", "y", "http://a.com/y"},
      {"http://u:p@a.com/x", "y", "http://u:p@a.com/y"},
      {"localhost", "y", nullptr},
  };
  std::unique_ptr<kurl> u(kurl::create(KPub::KURL_TYPE_PARTS, KPub::KURL_MEM_FIXED));
  for (const Case& c : cases)
    EXPECT_EQ(Text(c.abs), Text(u->makeabsurl(c.base, c.rel, true))) << c.base << " + " << c.rel;
  EXPECT_EQ("http://a.com/d/f", Text(u->makeabsurl(std::string("http://a.com/d/e"), "f", true)));
  EXPECT_EQ(nullptr, u->makeabsurl(nullptr, "f", true));
}

}  // namespace
