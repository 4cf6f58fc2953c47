// Configuration reader rules, on files written by the test.
#include "INIFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) {
    path_ = "/tmp/ini_test_" + std::to_string(getpid()) + ".ini";
    std::ofstream(path_, std::ios::trunc) << text;
    ASSERT_EQ(0, ini_.init(path_.c_str()));
  }
  void TearDown() override { unlink(path_.c_str()); }
  std::string Read(const char* sect, const char* key) {
    const char* v = ini_.read(sect, key);
    return v == nullptr ? "<null>" : v;
  }
  std::string path_;
  INIFile ini_;
};

TEST_F(IniFileTest, ValuesCommentsAndCase) {
  Load(
      "top=dropped\n"
      "[Crawler]\n"
      "a=value #comment\n"
      "b=value#comment\n"
      "url=http://h/x\n"
      "c =   value   # note\n"
      "d=x #one\t#two\n"
      "e=x // slashes\n"
      "f=\n"
      "g = # only a comment\n"
      "h=first\n"
      "h=second\n"
      "Log_File=/p\n"
      "  # indented=stored\n"
      "# real comment=no\n"
      "// also=no\n"
      "a=\n"
      "ab\n"
      "i=1\n"
      "\tsp = tabbed\t\r\n"
      "[ crawler ]\n"
      "a=spaced\n"
      "x=[sect]\n"
      "k=in sect\n");
  struct Case {
    const char *sect, *key, *want;
  } cases[] = {
      {"crawler", "a", "value"},
      {"CRAWLER", "b", "value#comment"},
      {"crawler", "url", "http://h/x"},
      {"crawler", "c", "value"},
      {"crawler", "d", "x #one"},
      {"crawler", "e", "x"},
      {"crawler", "f", "<null>"},
      {"crawler", "g", "<null>"},
      {"crawler", "h", "first"},
      {"crawler", "log_file", "/p"},
      {"crawler", "  # indented", "<null>"},
      {"crawler", "# indented", "stored"},
      {"crawler", "# real comment", "<null>"},
      {"crawler", "i", "1"},
      {"crawler", "sp", "tabbed"},
      {"crawler", "top", "<null>"},
      {" crawler ", "a", "spaced"},
      {"sect", "k", "in sect"},
      {"crawler", "k", "<null>"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, Read(c.sect, c.key)) << c.sect << "/" << c.key;
}

TEST_F(IniFileTest, LongLinesAreReadInPiecesOf510) {
  // "k=" and 508 letters fill the first piece; "z=after" is a line of its own.
  Load("[a]\nk=" + std::string(508, 'x') + "z=after\n");
  EXPECT_EQ(std::string(508, 'x'), Read("a", "k"));
  EXPECT_EQ("after", Read("a", "z"));
}

TEST_F(IniFileTest, NothingBeforeInitOrAfterClose) {
  INIFile fresh;
  EXPECT_EQ(nullptr, fresh.read("a", "b"));
  Load("[a]\nb=1\n");
  EXPECT_EQ("1", Read("a", "b"));
  ini_.close();
  EXPECT_EQ(nullptr, ini_.read("a", "b"));
}

TEST(IniFile, MissingFileFails) {
  INIFile ini;
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, ini.init("/nonexistent/crawler.ini"));
  EXPECT_EQ("open inifile [/nonexistent/crawler.ini] error.\n",
            testing::internal::GetCapturedStderr());
  EXPECT_EQ(nullptr, ini.read("a", "b"));
}

}  // namespace
