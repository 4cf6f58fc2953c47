#include "kpub/kstring.h"

#include <gtest/gtest.h>

namespace {

TEST(Trim, RemovesBlanksTabsAndLineEnds) {
  struct Case {
    std::string in, out;
  } cases[] = {{"\t x y \r\n", "x y"}, {" \t\r\n", ""}, {"", ""}, {"a", "a"}, {" a b", "a b"}};
  for (Case& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(c.out, KPub::trim(s));
    EXPECT_EQ(c.out, s);
  }
}

TEST(Split, FieldsAndLimits) {
  struct Case {
    std::string text, sep;
    int limit;
    std::vector<std::string> fields;
  } cases[] = {
      {"abc", ",", 0, {}},
      {"", ",", 0, {}},
      {"a,b", "", 0, {}},
      {"a,,b", ",", 0, {"a", "", "b"}},
      {"a,", ",", 0, {"a", ""}},
      {"a,b,c", ",", 2, {"a", "b,c"}},
      {"a,b,c", ",", 1, {"a", "b,c"}},
      {"a,b,c", ",", 3, {"a", "b", "c"}},
      {"1.1.1.1;2.2.2.2", ";", 0, {"1.1.1.1", "2.2.2.2"}},
      {"a--b--", "--", 0, {"a", "b", ""}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got = {"stale"};
    EXPECT_EQ(static_cast<int>(c.fields.size()), KPub::split(c.text, c.sep, got, c.limit));
    EXPECT_EQ(c.fields, got) << c.text << " limit " << c.limit;
  }
}

TEST(Strlcpy, TruncatesAndReportsSourceLength) {
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(6u, strlcpy(buf, "abcdef", sizeof buf));
  EXPECT_STREQ("abc", buf);
  EXPECT_EQ(2u, strlcpy(buf, "ab", sizeof buf));
  EXPECT_STREQ("ab", buf);
  EXPECT_EQ(3u, strlcpy(buf, "abc", 0));
  EXPECT_STREQ("ab", buf);
}

TEST(LocalTimeText, FormatsLocalDateAndTime) {
  std::string text = KPub::LocalTimeText(0);
  ASSERT_EQ(19u, text.size());
  EXPECT_EQ('-', text[4]);
  EXPECT_EQ(' ', text[10]);
}

}  // namespace
