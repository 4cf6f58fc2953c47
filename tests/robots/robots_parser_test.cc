#include "robots_parser.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Rules {
  std::string disallow, allow;
};

// Parses from a heap copy of exactly text.size() bytes with no terminator, so a read past the
// text is caught by the sanitizer build.
Rules Parse(const std::string& spider, const std::string& text) {
  std::unique_ptr<char[]> exact(new char[text.size() + 1]);
  memcpy(exact.get(), text.data(), text.size());
  Rules r{"stale", "stale"};
  parse_robots(spider.c_str(), exact.get(), text.size(), r.disallow, r.allow);
  return r;
}

struct ParseCase {
  const char* what;
  std::string spider, text, disallow, allow;
};

template <size_t N>
void ExpectRules(const ParseCase (&cases)[N]) {
  for (const ParseCase& c : cases) {
    Rules r = Parse(c.spider, c.text);
    EXPECT_EQ(c.disallow, r.disallow) << c.what;
    EXPECT_EQ(c.allow, r.allow) << c.what;
  }
}

TEST(ParseRobots, GroupsAndValues) {
  const ParseCase cases[] = {
      {"empty text", "TolvaSpider", "", "", ""},
      {"star group", "TolvaSpider", "User-agent: *\nDisallow: /a\nDisallow: /b\n", "/a|/b", ""},
      {"byte order mark skipped", "TolvaSpider", "\xEF\xBB\xBFUser-agent: *\nDisallow: /a\n", "/a",
       ""},
      {"own group replaces star rules and ends at the next group", "TolvaSpider",
       "User-agent: *\nDisallow: /a\nUser-agent: TolvaSpider\nDisallow: /own\nAllow: /pub\n"
       "User-agent: *\nDisallow: /late\n",
       "/own", "/pub"},
      {"star value", "TolvaSpider", "User-agent: *\nDisallow: /a\nDisallow: *\n", "/a|/", ""},
      {"comment after value", "TolvaSpider", "User-agent: *\nDisallow: /a # old\nDisallow: /b\n",
       "/a|/b", ""},
      {"empty first value", "TolvaSpider", "User-agent: *\nDisallow:\n", "", ""},
      {"empty later value", "TolvaSpider", "User-agent: *\nDisallow: /a\nDisallow:\n", "/a|", ""},
      {"agent name inside the spider name", "TolvaSpider", "User-agent: Spider\nDisallow: /s\n",
       "/s", ""},
      {"agent name in other case", "TolvaSpider", "User-agent: tolvaspider\nDisallow: /s\n", "/s",
       ""},
      {"agent name longer than the spider name", "TolvaSpider",
       "User-agent: TolvaSpider/2.0\nDisallow: /s\n", "", ""},
      {"quoted agent name", "Tolva Spider", "User-agent: \"Tolva Spider\"\nDisallow: /q\n", "/q",
       ""},
      {"second agent line decides", "TolvaSpider",
       "User-agent: *\nUser-agent: Other\nDisallow: /x\n", "", ""},
      {"keywords in any case", "TolvaSpider", "USERAGENT: *\nDISALLOW: /A\nALLOW: /b\n", "/A",
       "/b"},
      {"rules before any agent line ignored", "TolvaSpider", "Disallow: /a\nAllow: /b\n", "", ""},
      {"value that is another line", "TolvaSpider",
       "User-agent: *\nDisallow: Sitemap: http://a.example/s.xml\nDisallow: /a\n", "/a", ""},
      {"crawl-delay and sitemap skipped", "TolvaSpider",
       "User-agent: *\nCrawl-delay: 5\nSitemap: http://a.example/s.xml\nDisallow: /a\n", "/a", ""},
      {"CRLF lines", "TolvaSpider", "User-agent: *\r\nDisallow: /a\r\nAllow: /b\r\n", "/a", "/b"},
      {"last value without line end", "TolvaSpider", "User-agent: *\nDisallow: /end", "/end", ""},
      {"comment without line end", "TolvaSpider", "User-agent: *\nDisallow: /a\n# end", "/a", ""},
      {"unterminated quote", "TolvaSpider", "User-agent: \"*", "", ""},
      {"text ends at a zero byte", "TolvaSpider",
       std::string("User-agent: *\nDisallow: /a\n\0Disallow: /b\n", 40), "/a", ""},
      {"html line breaks", "TolvaSpider", "User-agent: *<br />Disallow: /a<br />Disallow: /b<br />",
       "/a|/b", ""},
  };
  ExpectRules(cases);
}

TEST(ParseRobots, FallbackCrawlers) {
  const ParseCase cases[] = {
      {"second fall-back name", "TolvaSpider",
       "User-agent: *\nDisallow: /\nUser-agent: Baiduspider\nDisallow: /private\n", "/private", ""},
      {"everyone shut out after all passes", "TolvaSpider", "User-agent: *\nDisallow: /\n", "/",
       ""},
      {"a fall-back pass with an Allow value ends the search", "TolvaSpider",
       "User-agent: *\nDisallow: /\nUser-agent: Googlebot\nAllow: /g\nDisallow: /\n"
       "User-agent: Sosospider\nDisallow: /s\n",
       "/", "/g"},
      {"last fall-back name", "TolvaSpider",
       "User-agent: *\nDisallow: /\nUser-agent: Sosospider\nDisallow: /soso\n", "/soso", ""},
      {"fall-back passes collect rules before any agent line", "TolvaSpider",
       "Disallow: /\nUser-agent: *\nDisallow: /\n", "/|/", ""},
      {"own group shut out: no fall-back", "TolvaSpider",
       "User-agent: TolvaSpider\nDisallow: /\nUser-agent: Baiduspider\nDisallow: /b\n", "/", ""},
      {"html line breaks in every pass", "TolvaSpider",
       "User-agent: *<br />Disallow: /<br />User-agent: Googlebot<br />Disallow: /g<br />", "/g",
       ""},
  };
  ExpectRules(cases);
}

std::string Values(const char* prefix, int from, int count) {
  std::string out;
  for (int i = from; i < from + count; ++i)
    out += "Disallow: /" + std::string(prefix) + std::to_string(i) + "\n";
  return out;
}

std::string Joined(const char* prefix, int from, int count) {
  std::string out;
  for (int i = from; i < from + count; ++i)
    out += (out.empty() ? "/" : "|/") + std::string(prefix) + std::to_string(i);
  return out;
}

TEST(ParseRobots, HundredDisallowValuesPerScan) {
  Rules r = Parse("TolvaSpider", "User-agent: *\n" + Values("v", 0, 101) + "Allow: /ok\n");
  EXPECT_EQ(Joined("v", 0, 100), r.disallow);
  EXPECT_EQ("/ok", r.allow);

  // Values of a group that is later replaced by the spider's own group still count.
  r = Parse("TolvaSpider", "User-agent: *\n" + Values("s", 0, 60) + "User-agent: TolvaSpider\n" +
                               Values("o", 0, 60));
  EXPECT_EQ(Joined("o", 0, 40), r.disallow);

  // Ignored groups do not count.
  r = Parse("TolvaSpider",
            "User-agent: Other\n" + Values("x", 0, 150) + "User-agent: *\n" + Values("v", 0, 100));
  EXPECT_EQ(Joined("v", 0, 100), r.disallow);
}

TEST(ParseRobots, TextCutAtLimit) {
  const std::string head = "User-agent: *\nDisallow: /a\n";
  const std::string rule = "Disallow: /b";
  std::string text = head + std::string(kRobotsTextMax - head.size() - rule.size(), '\n') + rule;
  ASSERT_EQ(kRobotsTextMax, text.size());
  EXPECT_EQ("/a|/b", Parse("TolvaSpider", text + "cd\nDisallow: /c\n").disallow);
  // The byte order mark is taken off before the cut.
  EXPECT_EQ("/a|/b", Parse("TolvaSpider", "\xEF\xBB\xBF" + text + "cd\n").disallow);
}

TEST(ParseRobots, ZeroTerminatedEntryAndNullInputs) {
  std::string dis = "stale", allow = "stale";
  parse_robots("TolvaSpider", "User-agent: *\nDisallow: /z\n", dis, allow);
  EXPECT_EQ("/z", dis);
  EXPECT_EQ("", allow);
  parse_robots("TolvaSpider", nullptr, dis, allow);
  EXPECT_EQ("", dis);
  parse_robots(nullptr, "User-agent: *\nDisallow: /z\n", dis, allow);
  EXPECT_EQ("/z", dis);
}

// Tokens of `text` in order, checking that the position never leaves the text.
std::vector<std::string> Tokens(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  char* pos = buf.data();
  std::vector<std::string> out;
  for (int i = 0; i < 100; ++i) {
    char* token = nextToken(&pos, ':');
    EXPECT_LE(pos, buf.data() + text.size()) << text;
    if (token == nullptr) break;
    out.push_back(token);
  }
  return out;
}

TEST(NextToken, SeparatorsQuotesAndComments) {
  struct Case {
    std::string text;
    std::vector<std::string> tokens;
  } cases[] = {
      {"", {}},
      {":: \t\r\n", {}},
      {"  a b :c\t d\r\n", {"a b", "c", "d"}},
      {"x  \t", {"x"}},
      {"# note\n y", {"y"}},
      {"#only", {}},
      {"a\n#x\n#y\nb", {"a", "b"}},
      {"a#b:c", {"a#b", "c"}},
      {"\"q r\":s", {"q r", "s"}},
      {"\" q \"", {"q"}},
      {"\"open", {"open"}},
      {"\"\" a", {"", "a"}},
      {"tail:", {"tail"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.tokens, Tokens(c.text)) << c.text;
}

TEST(GetEndStr, ValueToLineEndOrComment) {
  struct Case {
    std::string text, value, rest;
  } cases[] = {
      {"", "", ""},
      {" \t/a b \t# c\nx", "/a b", " c\nx"},
      {"/x\r\nnext", "/x", "\nnext"},
      {"  \n", "", ""},
      {"/end", "/end", ""},
      {"/p:q", "/p:q", ""},
  };
  for (const Case& c : cases) {
    std::vector<char> buf(c.text.begin(), c.text.end());
    buf.push_back('\0');
    char* pos = buf.data();
    EXPECT_EQ(c.value, getEndStr(&pos)) << c.text;
    EXPECT_EQ(c.rest, pos) << c.text;
  }
}

TEST(CaseContain, SubstringIgnoringCase) {
  struct Case {
    const char *a, *b;
    bool found;
  } cases[] = {
      {"spider", "TolvaSpider", true},
      {"TOLVASPIDER", "TolvaSpider", true},
      {"TolvaSpider/2.0", "TolvaSpider", false},
      {"", "x", true},
      {"", "", true},
      {"a", "", false},
      {"bot", "Googlebot", true},
      {"*", "TolvaSpider", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.found, caseContain(c.a, c.b)) << c.a << " in " << c.b;
}

TEST(Substitute, ReplacesEveryOccurrenceWithinTheOutputSize) {
  struct Case {
    std::string in, src, dst;
    size_t size;
    std::string out;
    bool whole;
  } cases[] = {
      {"a<br />b<br />", "<br />", "\n", 64, "a\nb\n", true},
      {"<br<br />", "<br />", "\n", 64, "<br\n", true},
      {"abc", "", "x", 64, "abc", true},
      {"aa", "a", "bbb", 64, "bbbbbb", true},
      {"aa", "a", "bbb", 6, "bbb", false},
      {"abcdef", "x", "y", 4, "abc", false},
      {"", "a", "b", 1, "", true},
  };
  for (const Case& c : cases) {
    std::vector<char> out(c.size, 'Z');
    EXPECT_EQ(c.whole, substitute(c.in.c_str(), out.data(), c.size, c.src.c_str(), c.dst.c_str()))
        << c.in;
    EXPECT_EQ(c.out, out.data()) << c.in;
  }
  char none = 'Z';
  EXPECT_FALSE(substitute("a", &none, 0, "a", "b"));
  EXPECT_EQ('Z', none);
}

// Texts stitched from robots.txt fragments at random; the sanitizer build checks the reads, the
// test checks that no value carries a line end or a comment.
TEST(ParseRobots, RandomTextsStayInBounds) {
  const char* const pieces[] = {
      "User-agent", "Disallow", "Allow", ":", " ",      "\t",          "\n",        "\r",
      "#",          "\"",       "*",     "/", "<br />", "TolvaSpider", "Googlebot", "\xEF\xBB\xBF",
      "x",          "|"};
  std::mt19937 rng(8);
  std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> length(0, 60);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = length(rng); n > 0; --n) text += pieces[pick(rng)];
    Rules r = Parse("TolvaSpider", text);
    for (const std::string* list : {&r.disallow, &r.allow})
      EXPECT_EQ(std::string::npos, list->find_first_of("\r\n#")) << text;
  }
}

}  // namespace
