#include "htmlcharset/html_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "htmlcharset/tradmap.h"
#include "htmlcharset/unicode_conv.h"
#include "htmlcharset/url_rules.h"
#include "tests/kpub/text_corpus.h"

namespace {

typedef std::vector<uint16_t> Units;

constexpr int kBuf = 1 << 16;

Units U16(const std::string& utf8) {
  std::string le = corpus::Iconv("UTF-8", "UTF-16LE", utf8);
  Units u(le.size() / 2);
  for (size_t i = 0; i < u.size(); ++i) {
    u[i] = static_cast<uint16_t>(static_cast<unsigned char>(le[2 * i]) |
                                 static_cast<unsigned char>(le[2 * i + 1]) << 8);
  }
  return u;
}

template <size_t N>
std::string Raw(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

std::string Meta(const std::string& charset) {
  return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">";
}

// html_process into UTF-8 with large buffers.
std::string Process(const std::string& src, const char* hint = nullptr, const char* url = nullptr,
                    int outtype = HTML_OUTPUT_UTF8) {
  std::vector<char> out(4 * src.size() + 64);
  std::vector<uint16_t> work(2 * src.size() + 64);
  int n = html_process(src.data(), src.size(), out.data(), out.size(), work.data(), work.size(),
                       outtype, hint, url);
  EXPECT_EQ(n, static_cast<int>(strlen(out.data())));
  return std::string(out.data(), n);
}

// What html_process should make of the UTF-8 text, whatever it was sent in.
std::string Normalised(const std::string& utf8) {
  Units u = U16(utf8);
  u.resize(tradmap(u.data(), resolve_numeric_refs(u.data(), u.size())));
  std::string out(3 * u.size() + 3, '\0');
  out.resize(ucs2utf(u.data(), u.size(), &out[0], out.size()));
  return out;
}

TEST(Codecs, GbkDecoder) {
  struct Case {
    std::string in;
    Units out;
  } cases[] = {
      {"A\x80", {0x41, 0x20AC}},
      {"\xB5\xC4\xD6\xD0", {0x7684, 0x4E2D}},
      {"\xA1\x40\xAA\xA1", {0xE4C6, 0xE000}},  // user-defined areas
      {"\x81\x40", {0x4E02}},
      {"\x81 a", {0xFFFD, 'a'}},  // no follower: the next byte goes too
      {"a\x81", {'a', 0xFFFD}},
  };
  for (const Case& c : cases) {
    Units got(16);
    got.resize(gbk2ucs(c.in.data(), c.in.size(), got.data(), got.size()));
    EXPECT_EQ(got, c.out) << c.in;
  }
}

TEST(Codecs, GbkDecoderAgreesWithIconvOnCorpus) {
  std::string all;
  for (const std::string& p : corpus::Simplified()) all += p;
  for (const std::string& p : corpus::Traditional()) all += p;
  const std::string gb = corpus::Iconv("UTF-8", "GBK", all);
  Units got(gb.size());
  got.resize(gbk2ucs(gb.data(), gb.size(), got.data(), got.size()));
  EXPECT_EQ(got, U16(all));
  std::string back(gb.size() + 8, '\0');
  back.resize(ucs2gbk(got.data(), got.size(), &back[0], back.size()));
  EXPECT_EQ(back, gb);
}

TEST(Codecs, Utf8Decoder) {
  struct Case {
    std::string in;
    Units out;
  } cases[] = {
      {"a\xC3\xA9\xE4\xB8\xAD", {'a', 0xE9, 0x4E2D}},
      {"\xE4\x41\x42", {0xFFFD, 'A', 'B'}},  // malformed: the lead alone
      {"\x80z", {0xFFFD, 'z'}},
      {"ab\xE4\xB8", {'a', 'b'}},  // incomplete at the end: dropped
      {"\xC3", {}},
  };
  for (const Case& c : cases) {
    Units got(16);
    got.resize(utf2ucs(c.in.data(), c.in.size(), got.data(), got.size()));
    EXPECT_EQ(got, c.out) << c.in;
  }
}

TEST(Codecs, EncodersAndRoom) {
  const Units units = {'a', 0xE9, 0x4E2D, 0x20AC, 0xFFFD, 0x0E01};
  char buf[32];
  int n = ucs2utf(units.data(), units.size(), buf, sizeof buf);
  EXPECT_EQ(std::string(buf, n), "a\xC3\xA9\xE4\xB8\xAD\xE2\x82\xAC\xEF\xBF\xBD\xE0\xB8\x81");
  n = ucs2gbk(units.data(), units.size(), buf, sizeof buf);
  EXPECT_EQ(std::string(buf, n), "a\xA8\xA6\xD6\xD0\x80\x1A ");
  // the UTF-8 encoder wants room for a three-byte sequence
  EXPECT_EQ(ucs2utf(units.data(), units.size(), buf, 4), 3);
  // a two-byte GBK form is never cut
  const Units zh = {'a', 0x4E2D};
  EXPECT_EQ(ucs2gbk(zh.data(), zh.size(), buf, 2), 1);
  struct Code {
    int code;
    std::string bytes;
  } codes[] = {{KWWW_CODE_GBK, "\xD6\xD0"},
               {KWWW_CODE_UTF8, "\xE4\xB8\xAD"},
               {KWWW_CODE_GBK2, "\xD6\xD0"},
               {KWWW_CODE_GBK3, "\xD6\xD0"},
               {9, ""}};
  for (const Code& c : codes) {
    uint16_t u[4];
    int got = ConvToUnicode(c.bytes.data(), c.bytes.size(), u, 4, c.code);
    EXPECT_EQ(got, c.code == 9 ? 0 : 1) << c.code;
    const uint16_t zhong = 0x4E2D;
    EXPECT_EQ(std::string(buf, ConvFrUnicode(&zhong, 1, buf, sizeof buf, c.code)), c.bytes);
  }
}

TEST(Codecs, ConvertUnicodeThroughIconv) {
  const std::string kr = corpus::Korean();
  const std::string euckr = corpus::Iconv("UTF-8", "EUC-KR", kr);
  Units got(kBuf);
  got.resize(convert_unicode(euckr.data(), euckr.size(), got.data(), got.size(), "euc-kr", 0));
  EXPECT_EQ(got, U16(kr));
  // name given by length, not terminated
  got.assign(kBuf, 0);
  got.resize(convert_unicode(euckr.data(), euckr.size(), got.data(), got.size(), "euc-krXX", 6));
  EXPECT_EQ(got, U16(kr));
  EXPECT_EQ(convert_unicode("abcdef", 6, got.data(), 8, "no-such-charset", 0), 0);
  // invalid bytes are skipped one at a time, at most 100 of them
  got.assign(kBuf, 0);
  got.resize(
      convert_unicode("ab\xFF\xFF"
                      "cd",
                      6, got.data(), got.size(), "utf-8", 0));
  EXPECT_EQ(got, (Units{'a', 'b', 'c', 'd'}));
  std::string bad = "a" + std::string(150, '\xFF') + "z";
  got.assign(kBuf, 0);
  got.resize(convert_unicode(bad.data(), bad.size(), got.data(), got.size(), "utf-8", 0));
  EXPECT_EQ(got, (Units{'a'}));
  // the work buffer bounds the output
  EXPECT_EQ(convert_unicode("abcdef", 6, got.data(), 3, "iso-8859-1", 0), 3);
}

TEST(Tradmap, Normalises) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"ＡＢＣ，ｘ＜＞＇", "ABC，x＜＞＇"},
      {"體國學個", "体国学个"},
      {"a   \tb", "a b"},
      {"a\xE3\x80\x80 b", "a b"},  // U+3000 is a blank
      {"a \n  b", "a\nb"},
      {"a \r\n\r\n b", "a\nb"},
      {"a  ", "a"},
      {"a \n ", "a\n"},
      {"  a", " a"},
      {"a\x01"
       "b\x7F",
       "a b "},
      {"x\xE2\x80\x94y\xEF\xB9\xA4\xEF\xB9\xA5\xEF\xB8\xB3", "x-y<>|"},
  };
  for (const Case& c : cases) {
    Units u = U16(c.in);
    u.resize(tradmap(u.data(), u.size()));
    EXPECT_EQ(u, U16(c.out)) << c.in;
  }
}

TEST(NumericRefs, Cases) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"&#20013;", "中"},
      {"&#65;", "&#65;"},
      {"&#x4E2D;!", "中!"},
      {"&#X4e2d;", "中"},
      {"a&#0000;b&#00010;c&#00013;d", "a b c d"},
      {"&#0014;", "\x0E"},
      {"&#1234567;", "&#1234567;"},  // seven digits
      {"&#20013", "&#20013"},
      {"&#2001g;", "&#2001g;"},
      {"&#70000;", "\xE1\x85\xB0"},  // 16-bit arithmetic: U+1170
      {"&&#20013;&#", "&中&#"},
  };
  for (const Case& c : cases) {
    Units u = U16(c.in);
    u.resize(resolve_numeric_refs(u.data(), u.size()));
    EXPECT_EQ(u, U16(c.out)) << c.in;
  }
}

TEST(HtmlProcess, Utf16PageBecomesNormalisedUtf8) {
  const std::string text =
      "<html><body>\n  體育 &#20013;國\t\t ＡＢＣ  \r\n\r\n  end &#65; &#x5B78;</body></html>";
  const std::string page = Raw("\xFF\xFE") + corpus::Iconv("UTF-8", "UTF-16LE", text);
  EXPECT_EQ(Process(page), "<html><body>\n体育 中国 ABC\nend &#65; 学</body></html>");
  const std::string be = Raw("\xFE\xFF") + corpus::Iconv("UTF-8", "UTF-16BE", text);
  EXPECT_EQ(Process(be), Process(page));
}

TEST(HtmlProcess, Utf16CharacterBeyondBmpKeepsTheRestAligned) {
  const std::string text = "<p>before \xF0\x9F\x98\x80 after 中文</p>";
  const std::string page = Raw("\xFF\xFE") + corpus::Iconv("UTF-8", "UTF-16LE", text);
  EXPECT_EQ(Process(page), "<p>before after 中文</p>");
}

TEST(HtmlProcess, CharsetChoice) {
  const std::string simp = corpus::Simplified()[3];
  const std::string gb = corpus::Iconv("UTF-8", "GB18030", simp);
  const std::string big5 = corpus::Iconv("UTF-8", "BIG5", corpus::Traditional()[3]);
  const std::string trad = corpus::Traditional()[3];
  const std::string latin =
      "Gr\xC3\xBC\xC3\x9F"
      "e aus M\xC3\xBCnchen, sch\xC3\xB6n";
  struct Case {
    const char* what;
    std::string page;
    const char* hint;
    std::string out;
  } cases[] = {
      {"utf-8 mark then meta gb2312", "\xEF\xBB\xBF" + corpus::Page(Meta("gb2312"), gb), nullptr,
       Normalised(corpus::Page(Meta("gb2312"), simp))},
      {"meta x-gbk", corpus::Page(Meta("x-gbk"), gb), nullptr,
       Normalised(corpus::Page(Meta("x-gbk"), simp))},
      {"gbk declared on utf-8", corpus::Page(Meta("gbk"), simp), nullptr,
       Normalised(corpus::Page(Meta("gbk"), simp))},
      {"undeclared gbk", corpus::Page("", gb), nullptr, Normalised(corpus::Page("", simp))},
      {"big5 declared", corpus::Page(Meta("big5"), big5), nullptr,
       Normalised(corpus::Page(Meta("big5"), trad))},
      {"big5 hinted", corpus::Page("", big5), "big5", Normalised(corpus::Page("", trad))},
      {"hint agrees with the declaration", corpus::Page(Meta("gbk"), gb), "gb2312",
       Normalised(corpus::Page(Meta("gbk"), simp))},
      {"hint rejected by the bytes", corpus::Page("", gb), "utf-8",
       Normalised(corpus::Page("", simp))},
      {"iso-8859-1 kept when the Latin statistics agree",
       corpus::Page(Meta("iso-8859-1"), corpus::Iconv("UTF-8", "ISO-8859-1", latin)), nullptr,
       Normalised(corpus::Page(Meta("iso-8859-1"), latin))},
  };
  for (const Case& c : cases) EXPECT_EQ(Process(c.page, c.hint), c.out) << c.what;
}

TEST(HtmlProcess, OutputForms) {
  const std::string gb = corpus::Iconv("UTF-8", "GB18030", "<p>中文</p>");
  EXPECT_EQ(Process(gb, "gbk", nullptr, HTML_OUTPUT_GBK), gb);
  uint16_t work[64];
  char out[8] = "x";
  EXPECT_EQ(html_process(gb.data(), gb.size(), out, sizeof out, work, 64, HTML_OUTPUT_UNITS, "gbk",
                         nullptr),
            9);
  EXPECT_EQ(work[3], 0x4E2D);
  // short texts give nothing
  EXPECT_EQ(html_process("<p>x", 4, out, sizeof out, work, 64, HTML_OUTPUT_UTF8, nullptr, nullptr),
            0);
  EXPECT_STREQ(out, "");
  // the output capacity holds the terminating zero
  const std::string ascii = "<p>abcdefghijklmnop</p>";
  EXPECT_EQ(html_process(ascii.data(), ascii.size(), out, sizeof out, work, 64, HTML_OUTPUT_UTF8,
                         nullptr, nullptr),
            5);
  EXPECT_STREQ(out, "<p>ab");
  EXPECT_EQ(html_process(ascii.data(), ascii.size(), out, sizeof out, work, 4, HTML_OUTPUT_UTF8,
                         nullptr, nullptr),
            4);
  EXPECT_STREQ(out, "<p>a");
}

TEST(HtmlProcess, UrlRules) {
  char path[] = "/tmp/html_rulesXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "1 gbk http://site.test/\n"
                         "2\tbig5\thttp://site.test/tw/\r\n"
                         "broken-line\n"
                         "3 "
                      << std::string(40, 'x') << " http://site.test/long/\n";
  const std::string big5 = corpus::Iconv("UTF-8", "BIG5", corpus::Traditional()[0]);
  const std::string page = corpus::Page(Meta("gbk"), big5);
  const std::string as_big5 = Normalised(corpus::Page(Meta("gbk"), corpus::Traditional()[0]));
  ASSERT_EQ(html_init(path), 0);
  EXPECT_EQ(html_url_charset("http://site.test/tw/a.html"), CHARSET_BIG5);
  EXPECT_EQ(html_url_charset("http://site.test/cn/a.html"), CHARSET_GBK);
  EXPECT_EQ(html_url_charset("http://site.test/long/a.html"), CHARSET_GBK);
  EXPECT_EQ(html_url_charset("http://other.test/"), CHARSET_NONE);
  EXPECT_EQ(Process(page, nullptr, "http://site.test/tw/a.html"), as_big5);
  html_destroy();
  EXPECT_EQ(html_url_charset("http://site.test/tw/a.html"), CHARSET_NONE);
  EXPECT_NE(Process(page, nullptr, "http://site.test/tw/a.html"), as_big5);
  unlink(path);
  EXPECT_EQ(html_init(path), -1);
}

// Every encoded page should give the same text as its UTF-8 original.
TEST(HtmlProcess, CorpusAccuracy) {
  struct Lang {
    std::string iconv_name, text, lie;
  };
  std::vector<Lang> langs;
  for (size_t i = 0; i < corpus::Simplified().size(); ++i) {
    langs.push_back({"GB18030", corpus::Simplified()[i], "big5"});
    langs.push_back({"BIG5", corpus::Traditional()[i], "gb2312"});
    langs.push_back({"UTF-8", corpus::Simplified()[i], "gbk"});
  }
  langs.push_back({"EUC-JP", corpus::Japanese(), "shift_jis"});
  langs.push_back({"SHIFT_JIS", corpus::Japanese(), "euc-jp"});
  langs.push_back({"EUC-KR", corpus::Korean(), "gbk"});
  langs.push_back({"WINDOWS-1251", corpus::Russian(), "iso-8859-1"});
  langs.push_back({"WINDOWS-1252", corpus::French(), "windows-1251"});
  std::map<std::string, std::pair<int, int>> score;
  for (const Lang& l : langs) {
    const std::string body = corpus::Iconv("UTF-8", l.iconv_name, l.text);
    const std::pair<const char*, std::string> heads[] = {
        {"declared", Meta(l.iconv_name)},
        {"undeclared", ""},
        {"lying", Meta(l.lie)},
    };
    for (const auto& head : heads) {
      const std::pair<const char*, std::string> page(head.first, corpus::Page(head.second, body));
      bool right = Process(page.second) == Normalised(corpus::Page(head.second, l.text));
      if (!right) std::printf("missed %s %s\n", l.iconv_name.c_str(), page.first);
      score[page.first].first += right;
      score[page.first].second += 1;
    }
  }
  int right = 0, total = 0;
  for (const auto& s : score) {
    std::printf("html_process %-10s %2d/%2d\n", s.first.c_str(), s.second.first, s.second.second);
    right += s.second.first;
    total += s.second.second;
  }
  std::printf("html_process corpus accuracy: %d/%d (%.1f%%)\n", right, total,
              100.0 * right / total);
  // a declaration the bytes contradict still wins through get_html_charset
  // unless it says "utf-8"
  EXPECT_EQ(score["declared"].first, score["declared"].second);
  EXPECT_GE(score["undeclared"].first, score["undeclared"].second - 1);
  EXPECT_GE(score["lying"].first, 6);
}

}  // namespace
