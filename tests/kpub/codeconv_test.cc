#include "kpub/codeconv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "kpub/klog.h"
#include "tests/kpub/text_corpus.h"

namespace {

using KPub::ENCODING;

std::string JoinAll(const std::vector<std::string>& paragraphs) {
  std::string all;
  for (const std::string& p : paragraphs) all += p + "\n";
  return all;
}

int GbCell(int first, int second) { return (first - 0xA1) * 94 + (second - 0xA1); }
int Big5Cell(int first, int second) {
  return (first - 0xA1) * 158 + (second <= 0x7E ? second - 0x40 : second - 0x61);
}

TEST(FreqTables, AnchorsAndShape) {
  KPub::init_freq();
  struct Case {
    const uint16_t* table;
    int cell;
    int weight;
  } cases[] = {
      {KPub::GBFreq, GbCell(0xB5, 0xC4), 599},     {KPub::GBFreq, GbCell(0xD2, 0xBB), 598},
      {KPub::GBFreq, GbCell(0xCA, 0xC7), 597},     {KPub::GBFreq, GbCell(0xB2, 0xBB), 596},
      {KPub::Big5Freq, Big5Cell(0xAA, 0xBA), 600}, {KPub::Big5Freq, Big5Cell(0xAC, 0x4F), 599},
      {KPub::Big5Freq, Big5Cell(0xA4, 0xA3), 598}, {KPub::Big5Freq, Big5Cell(0xA7, 0xDA), 597},
      {KPub::Big5Freq, Big5Cell(0xA4, 0x40), 596},
  };
  for (const Case& c : cases) EXPECT_EQ(c.table[c.cell], c.weight) << "cell " << c.cell;

  struct Shape {
    const uint16_t* table;
    int cols, cells, row_lo, row_hi, low, high;
  } shapes[] = {
      {KPub::GBFreq, 94, 94 * 94, 15, 54, 200, 599},
      {KPub::Big5Freq, 158, 94 * 158, 3, 37, 201, 600},
  };
  for (const Shape& s : shapes) {
    std::set<int> weights;
    for (int i = 0; i < s.cells; ++i) {
      if (s.table[i] == 0) continue;
      EXPECT_GE(i / s.cols, s.row_lo);
      EXPECT_LE(i / s.cols, s.row_hi);
      weights.insert(s.table[i]);
    }
    // one weight per character, every weight from low to high used once
    EXPECT_EQ(weights.size(), 400u);
    EXPECT_EQ(*weights.begin(), s.low);
    EXPECT_EQ(*weights.rbegin(), s.high);
  }
}

TEST(FreqTables, ConcurrentFirstUseSeesBuiltTables) {
  std::vector<std::thread> threads;
  std::vector<float> scores(8);
  const std::string gb = corpus::Iconv("UTF-8", "GB18030", corpus::Simplified()[0]);
  for (size_t i = 0; i < scores.size(); ++i) {
    threads.emplace_back([&, i] { scores[i] = KPub::gbk_check(gb.data(), gb.size()); });
  }
  for (std::thread& t : threads) t.join();
  for (float s : scores) EXPECT_EQ(s, scores[0]);
  EXPECT_GT(scores[0], 50);
}

TEST(Utf8Check, Scores) {
  const std::string zh = corpus::Simplified()[1];
  struct Case {
    std::string text;
    float expect_min, expect_max;
  } cases[] = {
      {"", -1, -1},
      {"\xE4", -1, -1},  // one byte
      {"plain ascii text", -1, -1},
      {"ascii with \xE4\xB8 two high bytes", -1, -1},
      {zh, 99.99f, 100},                       // all well-formed
      {"\xC0\x80\xC0\x80\xC0\x80\xFF", 0, 0},  // 6 of 7 high bytes: 85 %
      {corpus::Iconv("UTF-8", "GB18030", zh), 0, 0},
      // four-byte sequences are not recognised
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 0, 0},
  };
  for (const Case& c : cases) {
    float u = KPub::utf8_check(c.text.data(), c.text.size());
    EXPECT_GE(u, c.expect_min) << c.text;
    EXPECT_LE(u, c.expect_max) << c.text;
  }
}

TEST(Utf8Check, ShareAbove95NeedsMoreThan30Bytes) {
  // 10 three-byte characters and one stray byte: 30 / 31 = 96.8 %
  std::string few;
  for (int i = 0; i < 10; ++i) few += "\xE4\xB8\xAD";
  few += "\xFF";
  EXPECT_EQ(KPub::utf8_check(few.data(), few.size()), 0);
  std::string many = few.substr(0, 30) + few;  // 60 / 61 = 98.4 %
  EXPECT_GT(KPub::utf8_check(many.data(), many.size()), 98);
}

TEST(DetectEncoding, Cases) {
  const std::string simp = corpus::Simplified()[0];
  const std::string trad = corpus::Traditional()[0];
  struct Case {
    std::string text;
    ENCODING expect;
  } cases[] = {
      {"", KPub::OTHER},
      {"a", KPub::ASCII},
      {"\xB5", KPub::ASCII},
      {"<html>only ascii</html>", KPub::ASCII},
      {"one \xB5\xC4 character", KPub::ASCII},
      {simp, KPub::UTF8},
      {corpus::Iconv("UTF-8", "GB18030", simp), KPub::GBK},
      {corpus::Iconv("UTF-8", "BIG5", trad), KPub::BIG5},
      // a few GB2312 characters of the weighted rows
      {"\xB5\xC4\xD2\xBB\xCA\xC7\xB2\xBB", KPub::GBK},
      // valid UTF-8 whatever its GBK score
      {"\xE7\x9A\x84\xE4\xB8\x80\xE6\x98\xAF\xE4\xB8\x8D", KPub::UTF8},
      {"\x81\x30\x81\x30\x81\x30\x81\x30\x81\x30\x81\x30", KPub::OTHER},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KPub::detect_encoding(c.text), c.expect) << c.text;
  }
}

TEST(DetectEncoding, EqualScoresChooseGbk) {
  // symbol rows, unweighted in both tables but favoured in both
  const std::string text = "\xA1\xA2\xA1\xA3\xA1\xA2\xA1\xA3";
  float g = KPub::gbk_check(text.data(), text.size());
  EXPECT_EQ(g, KPub::big5_check(text.data(), text.size()));
  EXPECT_GE(g, 50);
  EXPECT_EQ(KPub::detect_encoding(text), KPub::GBK);
}

TEST(DetectEncoding, PairCheckStopsAtBoundedPrefix) {
  std::string big = corpus::Iconv("UTF-8", "GB18030", JoinAll(corpus::Simplified()));
  std::string head = big;
  while (big.size() < 200000) big += head;
  // the score depends on the first 1000 pairs only
  std::string tail(big.size(), '\xFF');
  std::string mixed = big.substr(0, 20000) + tail;
  EXPECT_EQ(KPub::gbk_check(big.data(), big.size()), KPub::gbk_check(mixed.data(), mixed.size()));
}

TEST(DetectEncoding, CorpusAccuracy) {
  struct Sample {
    std::string text;
    ENCODING expect;
  };
  std::vector<Sample> samples;
  for (size_t i = 0; i < corpus::Simplified().size(); ++i) {
    const std::string& simp = corpus::Simplified()[i];
    const std::string& trad = corpus::Traditional()[i];
    samples.push_back({corpus::Iconv("UTF-8", "GB18030", simp), KPub::GBK});
    samples.push_back({corpus::Iconv("UTF-8", "BIG5", trad), KPub::BIG5});
    samples.push_back({simp, KPub::UTF8});
    samples.push_back({trad, KPub::UTF8});
    samples.push_back({corpus::Page("", corpus::Iconv("UTF-8", "GB18030", simp)), KPub::GBK});
    samples.push_back({corpus::Page("", corpus::Iconv("UTF-8", "BIG5", trad)), KPub::BIG5});
    samples.push_back({corpus::Page("", simp), KPub::UTF8});
  }
  samples.push_back({corpus::Page("", "ascii only"), KPub::ASCII});
  // short snippets: the first few characters of each paragraph
  for (size_t chars : {4, 8, 16}) {
    for (size_t i = 0; i < corpus::Simplified().size(); ++i) {
      const std::string simp = corpus::Simplified()[i].substr(0, 3 * chars);
      const std::string trad = corpus::Traditional()[i].substr(0, 3 * chars);
      samples.push_back({corpus::Iconv("UTF-8", "GB18030", simp), KPub::GBK});
      samples.push_back({corpus::Iconv("UTF-8", "BIG5", trad), KPub::BIG5});
      samples.push_back({simp, KPub::UTF8});
    }
  }
  int right = 0;
  for (const Sample& s : samples) {
    ENCODING got = KPub::detect_encoding(s.text);
    if (got == s.expect)
      ++right;
    else
      std::printf("missed: expected %d got %d\n", s.expect, got);
  }
  double accuracy = 100.0 * right / samples.size();
  RecordProperty("accuracy_percent", std::to_string(accuracy));
  std::printf("detect_encoding corpus accuracy: %d/%zu (%.1f%%)\n", right, samples.size(),
              accuracy);
  EXPECT_EQ(right, static_cast<int>(samples.size()));
}

TEST(CheckBom, Marks) {
  struct Case {
    std::string bytes;
    std::string name;
    size_t len;
  } cases[] = {
      {"\xEF\xBB\xBFx", "UTF-8", 3},
      {"\xFE\xFFx", "UTF-16", 2},
      {std::string("\xFF\xFE\0\0", 4), "UTF-32LE", 4},
      {"\xFF\xFEx\0", "UTF-16LE", 2},
      {std::string("\0\0\xFE\xFF", 4), "UTF-32", 4},
      {"\xEF\xBB", "", 0},  // cut mark: nothing read past the length
      {"\xFF", "", 0},
      {"", "", 0},
      {"abc", "", 0},
  };
  for (const Case& c : cases) {
    size_t len = 99;
    EXPECT_EQ(KPub::check_bom(c.bytes.data(), c.bytes.size(), &len), c.name);
    EXPECT_EQ(len, c.len);
  }
}

// Captures the "kpub.codeconv" records in a file through a real appender.
class StrConvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/codeconv_testXXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    m_strLog = tmpl;
    KPub::kLogConfig(KPub::ConfigList{
        {"klog.rootLogger", "OFF"},
        {"klog.logger.kpub.codeconv", "ERROR, F"},
        {"klog.appender.F", "log4cplus::FileAppender"},
        {"klog.appender.F.File", m_strLog},
        {"klog.appender.F.layout", "log4cplus::PatternLayout"},
        {"klog.appender.F.layout.ConversionPattern", "%p|%m%n"},
    });
  }
  void TearDown() override {
    KPub::kLogConfig(KPub::ConfigList{{"klog.rootLogger", "OFF, N"},
                                      {"klog.appender.N", "log4cplus::NullAppender"}});
    unlink(m_strLog.c_str());
  }
  std::vector<std::string> Records() const {
    std::ifstream in(m_strLog);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string m_strLog;
};

TEST_F(StrConvTest, ConvertsAndCopies) {
  const std::string utf8 = corpus::Simplified()[2];
  const std::string gb = corpus::Iconv("UTF-8", "GB18030", utf8);
  const std::string big5 = corpus::Iconv("UTF-8", "BIG5", corpus::Traditional()[2]);
  struct Case {
    const char* from;
    const char* to;
    std::string in, out;
    int result;
  } cases[] = {
      {"GB18030", "UTF-8", gb, utf8, static_cast<int>(gb.size())},
      {"gb18030", "utf-8", gb, utf8, static_cast<int>(gb.size())},
      {"UTF-8", "GB18030", utf8, gb, static_cast<int>(utf8.size())},
      {"BIG5", "UTF-8", big5, corpus::Traditional()[2], static_cast<int>(big5.size())},
      {"UTF-8", "BIG5", corpus::Traditional()[2], big5,
       static_cast<int>(corpus::Traditional()[2].size())},
      {"GBK", "UTF-8//IGNORE", gb, utf8, static_cast<int>(gb.size())},
      {"gbk", "GBK//IGNORE", gb, gb, static_cast<int>(gb.size())},
      {"x", "X", "\xFF\xFE", "\xFF\xFE", 2},
  };
  for (const Case& c : cases) {
    std::string out = "old";
    EXPECT_EQ(KPub::str_conv(c.from, c.to, c.in, out), c.result) << c.from << "->" << c.to;
    EXPECT_EQ(out, c.out) << c.from << "->" << c.to;
  }
  EXPECT_TRUE(Records().empty());
}

TEST_F(StrConvTest, EmptyInputLeavesOutput) {
  std::string out = "kept";
  EXPECT_EQ(KPub::str_conv("GB18030", "UTF-8", nullptr, 5, out), 0);
  EXPECT_EQ(KPub::str_conv("GB18030", "UTF-8", "abc", 0, out), 0);
  EXPECT_EQ(out, "kept");
}

TEST_F(StrConvTest, LargeInputUsesHeapBuffer) {
  std::string gb = corpus::Iconv("UTF-8", "GB18030", JoinAll(corpus::Simplified()));
  while (gb.size() < 300000) gb += gb;
  std::string out;
  EXPECT_EQ(KPub::str_conv("GB18030", "UTF-8", gb, out), static_cast<int>(gb.size()));
  EXPECT_EQ(out, corpus::Iconv("GB18030", "UTF-8", gb));
}

TEST_F(StrConvTest, UnknownNameLogsTwoRecords) {
  std::string out = "old";
  EXPECT_EQ(KPub::str_conv("no-such-charset", "UTF-8", "abc", 3, out), -2);
  EXPECT_EQ(out, "");
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("ERROR|iconv from no-such-charset to UTF-8 return [-2] -- (", 0), 0u)
      << lines[0];
  EXPECT_EQ(lines[1], "ERROR|inlen=[3], leftlen=[3], text=[abc  ]");
}

TEST_F(StrConvTest, InvalidInputFailsEmptyAndCachedConverterRecovers) {
  std::string out;
  // cut GB18030 four-byte sequence in the middle of the text
  EXPECT_EQ(KPub::str_conv("GB18030", "UTF-8", std::string("ab\x81\x30zz"), out), -1);
  EXPECT_EQ(out, "");
  std::vector<std::string> lines = Records();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "ERROR|inlen=[6], leftlen=[4], text=[ab\x81\x30zz  ]");
  EXPECT_EQ(KPub::str_conv("GB18030", "UTF-8", std::string("\xD6\xD0"), out), 2);
  EXPECT_EQ(out, "中");
}

TEST_F(StrConvTest, ThreadsShareNoConverterState) {
  const std::string utf8 = JoinAll(corpus::Simplified());
  const std::string gb = corpus::Iconv("UTF-8", "GB18030", utf8);
  std::vector<std::thread> threads;
  std::vector<int> good(4, 0);
  for (size_t t = 0; t < good.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        std::string a, b;
        bool ok = KPub::str_conv("GB18030", "UTF-8", gb, a) == static_cast<int>(gb.size()) &&
                  a == utf8 && KPub::str_conv("UTF-8", "GB18030", a, b) >= 0 && b == gb;
        good[t] += ok;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int g : good) EXPECT_EQ(g, 200);
}

}  // namespace
