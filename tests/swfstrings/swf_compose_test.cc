#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "SwfWriter.h"
#include "swfstrings/CommonCharacterDetector.h"
#include "swfstrings/SwfCompose.h"
#include "swfstrings/SwfConvert.h"
#include "swfstrings/SwfExtract.h"
#include "swfstrings/SwfResult.h"

namespace {

const char kWrap[] =
    "<div style=\"height:500px;word-break:break-all;overflow:hidden;display:block;"
    "text-overflow:ellipsis;background-color:#bbbbbb;border:1px solid black;\">";
const char kUtf8Page[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
    "</head><body><p>\xE6\x96\x87\xE6\xA1\xA3\xE6\x96\x87\xE6\xA1\xA3</p>"
    "<div id=\"doc_reader\">[end]</div></body></html>";
const char kGbkPage[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
    "</head><body><p>\xCE\xC4\xB5\xB5\xCE\xC4\xB5\xB5</p>"
    "<div  id = \"doc_reader\" >[end]</div></body></html>";
// What the document service puts before the SWF data.
const char kServicePrefix[] = "{\"totalPage\":2} ";

std::string Swf(const std::string& tags, bool compressed = false) {
  return SwfFileBytes(tags, compressed);
}

std::string Inserted(const std::string& page, const std::string& text) {
  size_t pos = page.find("[end]");
  return page.substr(0, pos) + kWrap + text + "</div>" + page.substr(pos);
}

TEST(SwfDownloadUrl, DocIdPattern) {
  struct Case {
    std::string page;
    int want;
    std::string url;
  } cases[] = {
      {"<form><input name=\"doc_id\" value=\"a1B2c3\"></form>", 1,
       "http://wenku.baidu.com/play/a1B2c3?pn=1&rn=5"},
      {"<input  name = \"doc_id\"  value= \"Z9\" />", 1,
       "http://wenku.baidu.com/play/Z9?pn=1&rn=5"},
      {"<input name=\"doc_id\" value=\"a-b\">", 0, "unchanged"},
      {"<input name=\"title\" value=\"abc\">", 0, "unchanged"},
      {std::string("\0<input name=\"doc_id\" value=\"nul\">", 34), 1,
       "http://wenku.baidu.com/play/nul?pn=1&rn=5"},
  };
  for (const Case& c : cases) {
    std::string url = "unchanged";
    EXPECT_EQ(ExtractSwfDownloadUrlFromBaidu(c.page, url, 5), c.want) << c.page;
    EXPECT_EQ(url, c.url);
  }
  SetBaiduDocServiceBase("http://127.0.0.1:9/play");
  std::string url;
  EXPECT_EQ(ExtractSwfDownloadUrlFromBaidu(cases[0].page, url, 30), 1);
  EXPECT_EQ(url, "http://127.0.0.1:9/play/a1B2c3?pn=1&rn=30");
  SetBaiduDocServiceBase("http://wenku.baidu.com/play");
}

TEST(SwfCompose, PagesTable) {
  const std::string hello = "Hello \xE4\xB8\xAD\xE6\x96\x87 2024";  // "Hello 中文 2024"
  const std::string twoFiles =
      Swf(TextDocumentTags("first page ")) + Swf(TextDocumentTags("second page"), false);
  std::string truncated = Swf(TextDocumentTags(hello) + Tag(1, "") + Tag(2, "abcdef"));
  truncated.resize(truncated.size() - 6);
  std::string damaged = Swf(TextDocumentTags(hello), true);
  damaged[8] = 0;
  const std::string noCodes =
      DefineFontTag(1, 1) + DefineTextTag(2, {{1, {'H', 'i', '5', 7}}}) + PlaceObject2Tag(2, 1);
  const std::string inSprite =
      DefineFontTag(1, 1) + DefineTextTag(2, {{1, {'a', 'b'}}}) + DefineTextTag(3, {{1, {'c'}}}) +
      SpriteTag(4, PlaceObject2Tag(2, 1)) + PlaceObjectTag(3, 2) + PlaceObject2Tag(3, 2, true);
  const std::string zws = "{} ZWS" + Swf(TextDocumentTags(hello)).substr(3);
  struct Case {
    const char* name;
    std::string content;
    std::string page;
    int code;
    std::string text;  // inserted text; page unchanged when the code is not 0
  } cases[] = {
      {"plain swf", kServicePrefix + Swf(TextDocumentTags(hello)), kUtf8Page, 0, hello},
      {"compressed", kServicePrefix + Swf(TextDocumentTags(hello), true), kUtf8Page, 0, hello},
      {"no code table", kServicePrefix + Swf(noCodes), kUtf8Page, 0, "Hi5"},
      {"sprite", kServicePrefix + Swf(inSprite), kUtf8Page, 0, "abc"},
      {"two files", kServicePrefix + twoFiles, kUtf8Page, 0, "first page second page"},
      {"truncated", kServicePrefix + truncated, kUtf8Page, 0, hello},
      {"escaped", kServicePrefix + Swf(TextDocumentTags("a<b&c>d")), kUtf8Page, 0,
       "a&lt;b&amp;c&gt;d"},
      {"damaged zlib", kServicePrefix + damaged, kUtf8Page, 9, ""},
      {"zws", zws, kUtf8Page, 5, ""},
      {"gbk page", kServicePrefix + Swf(TextDocumentTags(hello)), kGbkPage, 0,
       "Hello \xD6\xD0\xCE\xC4 2024"},
      {"garbage", kServicePrefix + Swf(TextDocumentTags("#$%^*~+=-_|!?#$%^*~+=1")), kUtf8Page, 8,
       ""},
      {"no marker", kServicePrefix + Swf(TextDocumentTags(hello)), "<html><body>x</body></html>", 6,
       ""},
      {"cws at 0", "CWS plain\r\n words", kUtf8Page, 0, "CWS plain words"},
      {"brace header", "{\"page\":1}   line one\r\nline two", kUtf8Page, 0, "line oneline two"},
      {"late brace", std::string(200, 'x') + "} y", kUtf8Page, 0, std::string(200, 'x') + "} y"},
      {"bd doc-reader", "text", "<div class=\"bd doc-reader\" data-a=\"1\">[end]</div>", 0, "text"},
  };
  for (const Case& c : cases) {
    std::string page = c.page;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ComposePageWithSwfFromBaidu(c.content, page), c.code) << c.name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
    EXPECT_EQ(page, c.code == 0 ? Inserted(c.page, c.text) : c.page) << c.name;
  }
}

TEST(SwfExtractStream, FurtherFilesAndWarnings) {
  const std::string a = Swf(TextDocumentTags("alpha "));
  const std::string b = Swf(TextDocumentTags("beta"), true);
  const std::string c = Swf(TextDocumentTags("gamma"), true);
  // An uncompressed candidate must be whole; a compressed one a quarter of
  // its declared length.
  std::string cut = a.substr(0, a.size() - 1);
  struct Case {
    std::string content;
    bool more;
    std::string text;
  } cases[] = {
      {"junk" + a + a, false, "alpha "},
      {"junk" + a + a, true, "alpha alpha "},
      {b + c, true, "betagamma"},
      {a + b, true, "alpha "},  // the signature of the first file is searched
      {a + cut, true, "alpha "},
      {"\x01\x02" + b, true, "beta"},
  };
  for (const Case& k : cases) {
    std::string text = "x:";
    EXPECT_EQ(ExtractStringsFromSwfStream(k.content, text, k.more), 0) << k.text;
    EXPECT_EQ(text, "x:" + k.text);
  }
  std::string text;
  std::string truncated = a.substr(0, a.size() - 4);
  EXPECT_EQ(ExtractStringsFromSwfStream(truncated, text, true), 0);
  EXPECT_EQ(SwfThreadLocalState().m_strWarnings,
            "swfread: Warning: Short read (tagid 26). File truncated?\n");
  EXPECT_TRUE(SwfThreadLocalState().m_swf.m_tags.empty());  // freed after use
  EXPECT_EQ(ExtractStringsFromSwfStream("no swf here", text, true), 5);
}

TEST(SwfExtractStream, ThreadsKeepTheirOwnState) {
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([i, &results] {
      std::string content =
          kServicePrefix + Swf(TextDocumentTags("thread " + std::to_string(i)), i % 2 == 1);
      for (int round = 0; round < 50; ++round) {
        std::string page = kUtf8Page;
        if (ComposePageWithSwfFromBaidu(content, page) != 0) return;
        results[i] = page;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i], Inserted(kUtf8Page, "thread " + std::to_string(i)));
  }
}

TEST(CommonCharacterDetector, ShareOfCommonCharacters) {
  struct Case {
    std::vector<uint32_t> chars;
    bool valid;
  } cases[] = {
      {{'a', 'Z', '7'}, true},
      {{0x4E00, 0x9AD8, 0x9EDE}, true},  // 一 高 點
      {{'#', '%', 0x4E01}, false},
      {{' ', '\t', 0x3000, 0xA1A1, 0x2005, 0xA0}, false},           // nothing visible
      {{'a', '#', '#', '#', '#', '#', '#', '#', '#', '#'}, false},  // exactly one in ten
      {{'a', 'b', '#', '#', '#', '#', '#', '#', '#', '#', 0x3000}, true},
  };
  for (const Case& c : cases) {
    CommonCharacterDetector d;
    for (uint32_t ch : c.chars) d.ReadIn(ch);
    EXPECT_EQ(d.IsValidStream(), c.valid) << c.chars.size();
  }
  CommonCharacterDetector d;
  d.ReadIn(0x3000);
  d.ReadIn('x');
  d.ReadIn('!');
  EXPECT_EQ(d.total_read(), 2);
  EXPECT_EQ(d.common_character_read(), 1);
  d.Reset();
  EXPECT_EQ(d.total_read(), 0);
  EXPECT_FALSE(d.IsValidStream());
}

TEST(SwfResult, TextsAndWarnings) {
  const char* texts[] = {"",
                         "regcomp failed.",
                         "iconv open failed.",
                         "iconv convert encode failed.",
                         "",
                         "swf content is not right.",
                         "can't find pos for insert swf contents.",
                         "uncompress input stream from docin failed.",
                         "extract messy body from swf.",
                         "exception in swflib occurs.",
                         "",
                         ""};
  for (int code = 0; code < 12; ++code) {
    EXPECT_STREQ(GetErrorMsg(code), texts[code]) << code;
    EXPECT_EQ(IsWarnMsg(code), code >= 1 && code <= 3) << code;
  }
  EXPECT_STREQ(GetErrorMsg(-1), "");
}

TEST(SwfConvert, Utf8ToGb18030) {
  std::string out = "old";
  EXPECT_EQ(ConvertUtf8ToGb18030("A\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80", out), 0);
  EXPECT_EQ(out, "A\xD6\xD0\xCE\xC4\x94\x39\xFC\x36");
  EXPECT_EQ(ConvertUtf8ToGb18030("", out), 0);
  EXPECT_EQ(out, "");
  out = "old";
  EXPECT_EQ(ConvertUtf8ToGb18030("ok\xFF", out), 3);
  EXPECT_EQ(out, "old");
}

}  // namespace
