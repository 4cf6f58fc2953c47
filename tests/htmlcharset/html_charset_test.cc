#include "htmlcharset/html_charset.h"

#include <gtest/gtest.h>
#include <string.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "htmlcharset/html_process.h"
#include "tests/kpub/text_corpus.h"

namespace {

std::string Gb(const std::string& utf8) { return corpus::Iconv("UTF-8", "GB18030", utf8); }
std::string Big5(const std::string& utf8) { return corpus::Iconv("UTF-8", "BIG5", utf8); }

// Literal bytes including any zero bytes.
template <size_t N>
std::string Raw(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

std::string Meta(const std::string& charset) {
  return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">";
}

TEST(CharsetNames, Lookup) {
  struct Case {
    std::string name;
    charset_t type;
  } cases[] = {
      {"gb2312", CHARSET_GBK},
      {"GB18030", CHARSET_GBK},
      {"utf8", CHARSET_UTF8},
      {"Utf-8", CHARSET_UTF8},
      {"big5-hkscs", CHARSET_BIG5},
      {"Shift_JIS", CHARSET_SHIFT_JIS},
      {"ks_c_5601-1987", CHARSET_EUC_KR},
      {"win-1251", CHARSET_WINDOWS_1251},
      {"x-gbk", CHARSET_NONE},
      {"koi8-r", CHARSET_NONE},
      {"", CHARSET_NONE},
      {"utf-8 ", CHARSET_NONE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(charset_name_to_type(c.name.data(), c.name.size()), c.type) << c.name;
  }
  // only the given length is compared
  EXPECT_EQ(charset_name_to_type("gbk", 2), CHARSET_GBK);
  EXPECT_STREQ(charset_type_name(CHARSET_BIG5), "big-5");
  EXPECT_EQ(charset_type_name(CHARSET_NONE), nullptr);
  EXPECT_EQ(charset_type_name(-1), nullptr);
  EXPECT_EQ(charset_type_name(12), nullptr);
}

TEST(GetMetaCharset, Declarations) {
  struct Case {
    std::string tag;  // text after "<meta"
    std::string name;
  } cases[] = {
      {" charset=\"utf-8\">", "utf-8"},
      {" CHARSET='GBK' />", "GBK"},
      {" http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">", "gb2312"},
      {" content=\"text/html; charset=big5\" http-equiv=\"content-type\">", "big5"},
      {" http-equiv=\"content-type\" content=\"text/html;charset=x-gbk;\">", "x-gbk"},
      {" charset = \t\"euc-kr\">", "euc-kr"},
      {" charset=\"gbk", "gbk"},  // cut at the end of the text
      {" name=\"keywords\" content=\"charset\">", ""},
      {" http-equiv=\"refresh\" content=\"0; url=/\">", ""},
      {" charset=\"\">", ""},
      {">charset=gbk", ""},  // declarations after the tag do not count
      {"", ""},
  };
  for (const Case& c : cases) {
    const char* name = nullptr;
    int len = -1;
    int got = get_meta_charset(c.tag.data(), c.tag.data() + c.tag.size(), &name, &len);
    EXPECT_EQ(got, static_cast<int>(c.name.size())) << c.tag;
    if (got > 0) {
      EXPECT_EQ(std::string(name, len), c.name) << c.tag;
    }
  }
}

TEST(MetaCharsetCheck, PlausibleTexts) {
  const std::string gb = Gb(corpus::Simplified()[0]);
  const std::string big5 = Big5(corpus::Traditional()[0]);
  const std::string utf8 = corpus::Simplified()[0];
  struct Case {
    std::string text;
    int type;
    bool ok;
  } cases[] = {
      {gb, CHARSET_GBK, true},
      {utf8, CHARSET_GBK, false},
      {utf8, CHARSET_UTF8, true},
      {gb, CHARSET_UTF8, false},
      {big5, CHARSET_BIG5, true},
      {Raw("\xFF\xFE<\0h\0"), CHARSET_UCS2LE, true},
      {Raw("\xFE\xFF\0<\0h"), CHARSET_UCS2LE, false},
      {Raw("\xFE\xFF\0<\0h"), CHARSET_UCS2BE, true},
      {"\xFF", CHARSET_UCS2LE, false},
      {corpus::Iconv("UTF-8", "ISO-8859-1", "caf\xC3\xA9 cr\xC3\xA8me"), CHARSET_ISO_8859_1, true},
      {corpus::Iconv("UTF-8", "WINDOWS-1251", corpus::Russian()), CHARSET_WINDOWS_1251, true},
      {corpus::Iconv("UTF-8", "WINDOWS-1251", corpus::Russian()), CHARSET_ISO_8859_1, false},
      {corpus::Iconv("UTF-8", "EUC-KR", corpus::Korean()), CHARSET_EUC_KR, true},
      {corpus::Iconv("UTF-8", "EUC-JP", corpus::Japanese()), CHARSET_EUC_JP, true},
      {corpus::Iconv("UTF-8", "SHIFT_JIS", corpus::Japanese()), CHARSET_SHIFT_JIS, true},
      {"anything", CHARSET_NONE, true},
      {"anything", 42, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(meta_charset_check(c.text.data(), c.text.size(), c.type), c.ok ? c.type : -1)
        << "type " << c.type;
  }
}

TEST(GetHtmlCharset, Cases) {
  const std::string gb = Gb(corpus::Simplified()[1]);
  const std::string latin = corpus::Iconv("UTF-8", "ISO-8859-1",
                                          "Gr\xC3\xBC\xC3\x9F"
                                          "e aus M\xC3\xBCnchen");
  struct Case {
    const char* what;
    std::string text;
    charset_t type;
    std::string name;  // declaration reported, with its length
  } cases[] = {
      {"utf-16le mark", Raw("\xFF\xFE<\0h\0t\0m\0l\0"), CHARSET_UCS2LE, ""},
      {"utf-16be mark", Raw("\xFE\xFF\0<\0h\0t\0m"), CHARSET_UCS2BE, ""},
      {"utf-8 mark", "\xEF\xBB\xBF<html>" + gb, CHARSET_UTF8, ""},
      {"short after the start tag", "xxxxxxxxxx<body", CHARSET_NONE, ""},
      {"utf-8 text", corpus::Page("", corpus::Simplified()[1]), CHARSET_UTF8, ""},
      {"meta gbk", corpus::Page(Meta("GBK"), gb), CHARSET_GBK, "GBK"},
      {"meta x-gbk", corpus::Page(Meta("x-gbk"), gb), CHARSET_GBK, "gbk"},
      {"meta big5 believed", corpus::Page(Meta("big5"), gb), CHARSET_BIG5, "big5"},
      {"unknown name", corpus::Page(Meta("koi8-r"), gb), CHARSET_NONE, "koi8-r"},
      {"utf-8 declared on gbk text", corpus::Page(Meta("utf-8"), gb), CHARSET_GBK, ""},
      {"undeclared gbk", corpus::Page("", gb), CHARSET_GBK, ""},
      {"iso-8859-1 declared", corpus::Page(Meta("iso-8859-1"), latin), CHARSET_ISO_8859_1,
       "iso-8859-1"},
      {"ascii defaults to latin", corpus::Page("", "plain"), CHARSET_ISO_8859_1, ""},
      {"declaration in a comment", corpus::Page("<!-- " + Meta("big5") + " -->", gb), CHARSET_GBK,
       ""},
      {"non-letter name held", corpus::Page(Meta("{{cs}}"), "plain"), CHARSET_NONE, "{{cs}}"},
  };
  for (const Case& c : cases) {
    const char* name = nullptr;
    int len = -1;
    EXPECT_EQ(get_html_charset(c.text.data(), c.text.size(), &name, &len), c.type) << c.what;
    EXPECT_EQ(len, static_cast<int>(c.name.size())) << c.what;
    if (len > 0) {
      EXPECT_EQ(std::string(name, len), c.name) << c.what;
    }
  }
}

TEST(GetHtmlCharset, IgnoredUtf8DeclarationStaysVisible) {
  const std::string page = corpus::Page(Meta("utf-8"), Gb(corpus::Simplified()[1]));
  const char* name = nullptr;
  int len = -1;
  get_html_charset(page.data(), page.size(), &name, &len);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(std::string(name, 5), "utf-8");
}

TEST(GetHtmlCharset, MetaBeyondScanWindowIsNotRead) {
  std::string page = "<html>" + std::string(20480, ' ') + Meta("big5") + "plain text";
  const char* name = nullptr;
  int len = 0;
  EXPECT_EQ(get_html_charset(page.data(), page.size(), &name, &len), CHARSET_ISO_8859_1);
  EXPECT_EQ(len, 0);
}

TEST(HtmlCharset, Names) {
  const std::string gb = Gb(corpus::Simplified()[1]);
  struct Case {
    std::string text;
    int cap;
    charset_t type;
    std::string name;
  } cases[] = {
      {"<html", 32, CHARSET_NONE, ""},
      {corpus::Page(Meta("gb2312"), gb), 32, CHARSET_GBK, "gbk"},
      {corpus::Page(Meta("x-Big5-HKSCS"), gb), 32, CHARSET_BIG5, "big-5"},
      {corpus::Page(Meta("koi8-r"), gb), 32, CHARSET_NONE, "koi8-r"},
      {corpus::Page(Meta("koi8-r"), gb), 4, CHARSET_NONE, "koi"},
      {corpus::Page("", "plain"), 32, CHARSET_ISO_8859_1, "iso-8859-1"},
      {Raw("\xFF\xFE<\0h\0t\0m\0l\0"), 32, CHARSET_UCS2LE, "ucs-2le"},
  };
  for (const Case& c : cases) {
    char name[32] = "unchanged";
    EXPECT_EQ(html_charset(c.text.data(), c.text.size(), name, c.cap), c.type) << c.name;
    EXPECT_EQ(std::string(name), c.name);
  }
}

// Pages of several languages and encodings, declared truly, not at all, or
// falsely; html_charset is scored against the encoding the bytes are in.
TEST(HtmlCharset, CorpusAccuracy) {
  struct Lang {
    const char* label;
    std::string iconv_name;
    charset_t type;
    std::string text;
    std::string lie;
  };
  std::vector<Lang> langs;
  for (size_t i = 0; i < corpus::Simplified().size(); ++i) {
    langs.push_back({"gbk", "GB18030", CHARSET_GBK, corpus::Simplified()[i], "big5"});
    langs.push_back({"big5", "BIG5", CHARSET_BIG5, corpus::Traditional()[i], "gb2312"});
    langs.push_back({"utf-8", "UTF-8", CHARSET_UTF8, corpus::Simplified()[i], "gbk"});
  }
  langs.push_back({"euc-jp", "EUC-JP", CHARSET_EUC_JP, corpus::Japanese(), "shift_jis"});
  langs.push_back({"shift-jis", "SHIFT_JIS", CHARSET_SHIFT_JIS, corpus::Japanese(), "euc-jp"});
  langs.push_back({"euc-kr", "EUC-KR", CHARSET_EUC_KR, corpus::Korean(), "gbk"});
  langs.push_back(
      {"windows-1251", "WINDOWS-1251", CHARSET_WINDOWS_1251, corpus::Russian(), "iso-8859-1"});
  langs.push_back(
      {"windows-1252", "WINDOWS-1252", CHARSET_WINDOWS_1252, corpus::French(), "windows-1251"});
  std::map<std::string, std::pair<int, int>> score;  // kind -> right, total
  for (const Lang& l : langs) {
    const std::string body = corpus::Iconv("UTF-8", l.iconv_name, l.text);
    const std::pair<const char*, std::string> pages[] = {
        {"declared", corpus::Page(Meta(l.iconv_name), body)},
        {"undeclared", corpus::Page("", body)},
        {"lying", corpus::Page(Meta(l.lie), body)},
    };
    for (const auto& page : pages) {
      char name[64];
      charset_t got = html_charset(page.second.data(), page.second.size(), name, sizeof name);
      bool right = got == l.type;
      if (!right) std::printf("missed %s %s: got %d\n", l.label, page.first, got);
      for (const std::string& kind : {std::string(page.first), std::string(l.label)}) {
        score[kind].first += right;
        score[kind].second += 1;
      }
    }
  }
  int right = 0, total = 0;
  for (const auto& s : score) {
    std::printf("html_charset %-13s %2d/%2d\n", s.first.c_str(), s.second.first, s.second.second);
  }
  for (const char* kind : {"declared", "undeclared", "lying"}) {
    right += score[kind].first;
    total += score[kind].second;
  }
  std::printf("html_charset corpus accuracy: %d/%d (%.1f%%)\n", right, total,
              100.0 * right / total);
  // declarations other than "utf-8" are believed, so lies mostly win
  EXPECT_EQ(score["declared"].first, score["declared"].second);
  EXPECT_GE(score["undeclared"].first, score["undeclared"].second - 1);
  EXPECT_GE(score["lying"].first, 6);
}

}  // namespace

namespace {

// Random pages built from pieces that steer the parsers into their states,
// each in a heap block of its exact size so that any read past the end is
// caught by the address sanitizer.
TEST(UntrustedInput, RandomPagesStayInBounds) {
  static const char* const kPieces[] = {"<meta",     " charset=",    "http-equiv=", "content-type",
                                        " content=", "\"",           "'",           ";",
                                        ">",         "<!--",         "-->",         "<title",
                                        "<html",     "x-",           "gbk",         "utf-8",
                                        "&#",        "20013",        "x4E2D",       ";",
                                        "\xFF\xFE",  "\xEF\xBB\xBF", "\xE4\xB8",    "\xAD",
                                        "\xB5\xC4",  "\x81",         "\xA4\x40",    " ",
                                        "\n"};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string page;
    int pieces = static_cast<int>(rng() % 40);
    for (int i = 0; i < pieces; ++i) page += kPieces[rng() % (sizeof kPieces / sizeof *kPieces)];
    std::unique_ptr<char[]> exact(new char[page.size() + 1]);
    memcpy(exact.get(), page.data(), page.size());
    const char* p = exact.get();
    const int len = static_cast<int>(page.size());
    char name[16];
    html_charset(p, len, name, sizeof name);
    const char* found = nullptr;
    int found_len = 0;
    get_meta_charset(p, p + len, &found, &found_len);
    ASSERT_GE(found_len, 0);
    char out[64];
    uint16_t work[48];
    int n = html_process(p, len, out, sizeof out, work, 48, HTML_OUTPUT_UTF8, nullptr, nullptr);
    ASSERT_LT(n, static_cast<int>(sizeof out));
    ASSERT_EQ(strlen(out), static_cast<size_t>(n));
  }
}

}  // namespace
