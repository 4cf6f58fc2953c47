// Suffix matching, the most-general-entry invariant, and reloading of the
// filter file by modification time.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "StrFilter.h"

namespace {

struct MatchCase {
  const char* host;
  bool match;
};

TEST(StrMatchSet, SuffixMatchingIgnoresCaseAndDotBoundary) {
  StrMatchSet<revstr_less> set;
  ASSERT_TRUE(set.insert("example.com"));
  ASSERT_TRUE(set.insert("other.org"));
  const MatchCase cases[] = {
      {"example.com", true},   {"www.example.com", true}, {"WWW.Example.COM", true},
      {"myexample.com", true}, {"example.net", false},    {"ample.com", false},
      {"com", false},          {"", false},               {"x.other.org", true},
      {"other.org.cn", false},
  };
  for (const MatchCase& c : cases) EXPECT_EQ(set.match(c.host), c.match) << c.host;
}

TEST(StrMatchSet, KeepsOnlyTheMostGeneralEntryInEitherOrder) {
  StrMatchSet<revstr_less> shortFirst;
  EXPECT_TRUE(shortFirst.insert("example.com"));
  EXPECT_FALSE(shortFirst.insert("www.example.com"));
  EXPECT_EQ(shortFirst.size(), 1u);
  StrMatchSet<revstr_less> longFirst;
  EXPECT_TRUE(longFirst.insert("a.example.com"));
  EXPECT_TRUE(longFirst.insert("b.example.com"));
  EXPECT_TRUE(longFirst.insert("EXAMPLE.com"));
  EXPECT_EQ(longFirst.size(), 1u);
  EXPECT_TRUE(longFirst.match("c.example.com"));
}

TEST(RevstrLess, OrdersFromTheEnd) {
  revstr_less less;
  EXPECT_TRUE(less("ba", "ab"));  // last bytes: a < b
  EXPECT_FALSE(less("ab", "ba"));
  EXPECT_FALSE(less("x.com", "com"));
  EXPECT_FALSE(less("com", "x.com"));
  EXPECT_FALSE(less("", "com"));
  EXPECT_FALSE(less("com", ""));
  EXPECT_FALSE(less("Com", "cOM"));
}

TEST(LoadDomain, SkipsCommentsAndShortLinesKeepsBytes) {
  std::istringstream in("# comment\nab\n\nexample.com\nwith.cr\r\n  spaced.org \nlast.net");
  std::vector<std::string> got;
  std::string d;
  while (loadDomain(in, d)) got.push_back(d);
  std::vector<std::string> want = {"example.com", "with.cr\r", "  spaced.org ", "last.net"};
  EXPECT_EQ(got, want);
}

class StrFilterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/filtertest.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    m_path = m_dir + "/hosts.txt";
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  // Writes the file with an explicit modification time in seconds.
  void Write(const std::string& text, time_t mtime) {
    std::ofstream(m_path) << text;
    struct utimbuf t = {mtime, mtime};
    ASSERT_EQ(utime(m_path.c_str(), &t), 0);
  }
  std::string m_dir;
  std::string m_path;
};

TEST_F(StrFilterFile, LoadsOnFirstLookupAndReloadsOnlyWhenNewer) {
  Write("first.test\n", 1000);
  StrFilter filter("hosts.txt", KPub::Time(0), m_dir + "/");
  EXPECT_TRUE(filter.match("www.first.test"));
  Write("second.test\n", 1000);
  EXPECT_TRUE(filter.match("first.test")) << "same modification time must not reload";
  Write("second.test\n", 1001);
  EXPECT_FALSE(filter.match("first.test"));
  EXPECT_TRUE(filter.match("second.test"));
  std::filesystem::remove(m_path);
  EXPECT_TRUE(filter.match("second.test")) << "a removed file keeps the entries";
}

TEST_F(StrFilterFile, LooksAtTheFileAtMostOncePerInterval) {
  Write("early.test\n", 1000);
  StrFilter filter("hosts.txt", KPub::Time(3600), m_dir + "/");
  EXPECT_TRUE(filter.match("early.test"));
  Write("late.test\n", 2000);
  EXPECT_FALSE(filter.match("late.test"));
  EXPECT_TRUE(filter.match("early.test"));
}

TEST_F(StrFilterFile, CrLfEntriesMatchNothing) {
  Write("crlf.test\r\n", 1000);
  StrFilter filter("hosts.txt", KPub::Time(0), m_dir + "/");
  EXPECT_FALSE(filter.match("crlf.test"));
}

TEST_F(StrFilterFile, PlainNameIsUsedWhenThePrefixedFileIsMissing) {
  std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(m_dir.c_str()), 0);
  Write("plain.test\n", 1000);
  StrFilter filter("hosts.txt", KPub::Time(0), "no-such-dir/");
  EXPECT_TRUE(filter.match("plain.test"));
  StrFilter none("absent.txt", KPub::Time(0), "");
  EXPECT_FALSE(none.match("plain.test"));
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

}  // namespace
