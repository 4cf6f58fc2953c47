#include "json_quote.h"

#include <gtest/gtest.h>

#include "text_judge.h"

namespace {

TEST(ValueToQuotedString, Cases) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"plain text/with slash", "\"plain text/with slash\""},
      {"a\"b", "\"a\\\"b\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {"\x01", "\"\\u0001\""},
      {"\x1f", "\"\\u001F\""},
      {"\x7f", "\"\x7f\""},
      {"\xe4\xb8\xad", "\"\\u4e2d\""},
      {"\xc3\xa9", "\"\\u00e9\""},
      {"\xf0\x9f\x98\x80", "\"\\ud83d\\ude00\""},
      {"x\xc3", "\"x\xc3\""},  // lead byte at the end of the text
      {"\xff", "\"\xff\""},
      {"\xc3\x28", "\"\xc3(\""},                     // bad continuation
      {"\xe0\x80\xaf", "\"\xe0\x80\xaf\""},          // over-long form
      {"\xed\xa0\x80", "\"\xed\xa0\x80\""},          // surrogate
      {"\xf4\x90\x80\x80", "\"\xf4\x90\x80\x80\""},  // above U+10FFFF
      {"a\xe4\xb8\xad\"\x01", "\"a\\u4e2d\\\"\\u0001\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, valueToQuotedString(c.in)) << "input: " << c.in;
  }
}

TEST(Utf8Checks, FirstByteClasses) {
  struct Case {
    unsigned char byte;
    int length;
  };
  const Case cases[] = {{0x00, 1}, {0x7f, 1}, {0x80, 0}, {0xc1, 0}, {0xc2, 2}, {0xdf, 2},
                        {0xe0, 3}, {0xef, 3}, {0xf0, 4}, {0xf4, 4}, {0xf5, 0}, {0xff, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.length, utf8_check_first(static_cast<char>(c.byte))) << int(c.byte);
  }
}

TEST(Utf8Checks, FullSequences) {
  struct Case {
    const char* bytes;
    size_t size;
    bool valid;
    int32_t cp;
  };
  const Case cases[] = {
      {"\xc2\x80", 2, true, 0x80},
      {"\xdf\xbf", 2, true, 0x7ff},
      {"\xc0\x80", 2, false, 0},
      {"\xe0\xa0\x80", 3, true, 0x800},
      {"\xe0\x9f\xbf", 3, false, 0},
      {"\xed\x9f\xbf", 3, true, 0xd7ff},
      {"\xed\xbf\xbf", 3, false, 0},
      {"\xf0\x90\x80\x80", 4, true, 0x10000},
      {"\xf0\x8f\xbf\xbf", 4, false, 0},
      {"\xf4\x8f\xbf\xbf", 4, true, 0x10ffff},
      {"\xc3\xc3", 2, false, 0},
      {"a", 1, false, 0},
      {"\xf0\x90\x80\x80\x80", 5, false, 0},
  };
  for (const Case& c : cases) {
    int32_t cp = -1;
    EXPECT_EQ(c.valid, utf8_check_full(c.bytes, c.size, &cp)) << c.bytes;
    if (c.valid) {
      EXPECT_EQ(c.cp, cp);
    }
  }
  EXPECT_TRUE(utf8_check_full("\xc3\xa9", 2, nullptr));
}

TEST(Utf8Checks, IterateStopsAtTheTerminator) {
  const char text[] = "\xe4\xb8";  // a three-byte lead cut short
  EXPECT_EQ(nullptr, utf8_iterate(text, nullptr));
  const char empty[] = "";
  EXPECT_EQ(empty, utf8_iterate(empty, nullptr));
  const char two[] = "\xc3\xa9z";
  int32_t cp = 0;
  EXPECT_EQ(two + 2, utf8_iterate(two, &cp));
  EXPECT_EQ(0xe9, cp);
}

TEST(TextJudge, AsciiAndUtf16Mark) {
  EXPECT_TRUE(JudgeAscii(""));
  EXPECT_TRUE(JudgeAscii("plain \x7f"));
  EXPECT_FALSE(JudgeAscii("caf\xc3\xa9"));
  EXPECT_TRUE(JudgeUnicode("\xff\xfe<\0h"));
  EXPECT_FALSE(JudgeUnicode("\xfe\xff"));
  EXPECT_FALSE(JudgeUnicode("\xff"));  // second byte is the terminator
}

}  // namespace
