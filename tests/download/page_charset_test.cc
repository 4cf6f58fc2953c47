// Charset judgement of completed responses: which source wins (header,
// body declaration, detection), the normalised names, the XML flag and the
// size of the body window searched for declarations.
#include <ctype.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DownLoadThread.h"
#include "download_harness.h"
#include "http_sim_process.h"
#include "tests/kpub/text_corpus.h"

namespace {

constexpr size_t kWindow = 204800;
constexpr int kDoneSeconds = 30;

std::string MetaType(const std::string& charset) {
  return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">";
}

std::string MetaLanguage(const std::string& lang) {
  return "<meta http-equiv=\"Content-Language\" content=\"" + lang + "\">";
}

std::string XmlDecl(const std::string& encoding) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>";
}

std::string Header(const std::string& contentType) {
  return "HTTP/1.1 200 OK\r\nServer: t\r\nContent-Type: " + contentType +
         "\r\nContent-Length: 10\r\n\r\n";
}

std::string Gbk() { return corpus::Iconv("UTF-8", "GBK", corpus::Simplified()[0]); }
std::string Big5() { return corpus::Iconv("UTF-8", "BIG5", corpus::Traditional()[0]); }
std::string Utf8() { return corpus::Simplified()[1]; }

// ASCII filler so that `tail` ends `endsAt` bytes into the body.
std::string PadTo(size_t endsAt, const std::string& tail) {
  return std::string(endsAt - tail.size(), 'a') + tail;
}

struct Judged {
  std::string charset;
  char source;
  bool xml;
};

struct Case {
  const char* name;
  std::string header;
  std::string body;
  Judged want;
};

class PageCharsetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_data.Init()); }

  // One record serves every case of a table, as a handle's record serves
  // one response after another: nothing of the previous judgement may stay.
  void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    m_data.m_strHeader = c.header;
    m_data.m_strHtml = c.body;
    m_thread->JudgePageCharSet(&m_data);
    EXPECT_EQ(m_data.m_str_o_charset, c.want.charset);
    EXPECT_EQ(static_cast<int>(m_data.m_chCharSetType), static_cast<int>(c.want.source));
    EXPECT_EQ(m_data.m_isXml, c.want.xml);
  }

  DownloadHarness m_harness;
  DownLoadThread* const m_thread = &m_harness.thread();
  RetData m_data;
};

TEST_F(PageCharsetTest, HeaderCharsetWinsAndBodyIsNotSearched) {
  const std::string utf8Page = corpus::Page(MetaType("utf-8"), Utf8());
  const Case cases[] = {
      {"gb2312", Header("text/html; charset=gb2312"), utf8Page, {"GB18030", CHARSET_HEADER, false}},
      {"utf8", Header("text/html; charset=utf8"), Gbk(), {"UTF-8", CHARSET_HEADER, false}},
      {"Utf-8", Header("text/html;charset=Utf-8"), Gbk(), {"UTF-8", CHARSET_HEADER, false}},
      {"big5-hkscs",
       Header("text/html; charset=big5-hkscs"),
       Gbk(),
       {"BIG5", CHARSET_HEADER, false}},
      {"quoted",
       Header("text/html; charset=\"GB18030\""),
       utf8Page,
       {"GB18030", CHARSET_HEADER, false}},
      {"lower-case header name",
       "HTTP/1.1 200 OK\r\ncontent-type: text/html; charset=BIG5\r\n\r\n",
       Gbk(),
       {"BIG5", CHARSET_HEADER, false}},
      {"first of two Content-Type lines",
       Header("text/html; charset=utf-8") + Header("text/html; charset=big5"),
       Gbk(),
       {"UTF-8", CHARSET_HEADER, false}},
      // An unknown header name is not replaced by a body declaration.
      {"x-gbk detected as utf-8",
       Header("text/html; charset=x-gbk"),
       corpus::Page(MetaType("gbk"), Utf8()),
       {"UTF-8", CHARSET_AUTO_OK, false}},
      {"x-gbk detected as big5",
       Header("text/html; charset=x-gbk"),
       Big5(),
       {"BIG5", CHARSET_AUTO_OK, false}},
      {"x-gbk undetectable",
       Header("text/html; charset=x-gbk"),
       "",
       {"GB18030", CHARSET_AUTO_UNKONW, false}},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(PageCharsetTest, BodyDeclarations) {
  const Case cases[] = {
      {"meta GBK",
       Header("text/html"),
       corpus::Page(MetaType("GBK"), Gbk()),
       {"GB18030", CHARSET_META, false}},
      {"meta before Content-Language",
       Header("text/html"),
       corpus::Page(MetaLanguage("zh-CN") + MetaType("big5"), Big5()),
       {"BIG5", CHARSET_META, false}},
      {"Content-Language zh-CN",
       Header("text/html"),
       corpus::Page(MetaLanguage("zh-CN"), Utf8()),
       {"GB18030", CHARSET_META, false}},
      {"Content-Language en-us",
       Header("text/html"),
       corpus::Page(MetaLanguage("en-us"), Big5()),
       {"BIG5", CHARSET_AUTO_OK, false}},
      {"no Content-Type header",
       "HTTP/1.1 200 OK\r\n\r\n",
       corpus::Page(MetaType("utf-8"), Gbk()),
       {"UTF-8", CHARSET_META, false}},
      {"header without charset parameter",
       Header("text/html; q=1"),
       corpus::Page(MetaType("big5"), Gbk()),
       {"BIG5", CHARSET_META, false}},
      {"xml declaration in html",
       Header("text/html"),
       XmlDecl("big5") + corpus::Page("", Big5()),
       {"BIG5", CHARSET_META, true}},
      {"meta before xml declaration in html",
       Header("text/html"),
       XmlDecl("utf-8") + corpus::Page(MetaType("gbk"), Gbk()),
       {"GB18030", CHARSET_META, false}},
      // An XML response is searched for the XML declaration only.
      {"xml type",
       Header("application/xml"),
       XmlDecl("UTF-8") + "<r>" + MetaType("gbk") + Utf8() + "</r>",
       {"UTF-8", CHARSET_META, true}},
      {"xml type, meta only",
       Header("text/xml"),
       "<r>" + MetaType("big5") + Utf8() + "</r>",
       {"UTF-8", CHARSET_AUTO_OK, true}},
      {"xml type with charset",
       Header("application/rss+xml; charset=utf-8"),
       XmlDecl("gbk") + Gbk(),
       {"UTF-8", CHARSET_HEADER, true}},
      {"XML in upper case is not xml",
       Header("text/XML"),
       MetaType("big5") + Big5(),
       {"BIG5", CHARSET_META, false}},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(PageCharsetTest, DeclarationsAreSearchedInTheFirst204800Bytes) {
  const std::string decl = MetaType("gbk");
  const std::string cut = decl.substr(0, decl.find("gbk") + 2);
  const Case cases[] = {
      {"ends at the window's end",
       Header("text/html"),
       PadTo(kWindow, cut + "k") + "\">",
       {"GB18030", CHARSET_META, false}},
      // The window ends inside the name: "gb" alone is no known name.
      {"name cut by the window",
       Header("text/html"),
       PadTo(kWindow, cut) + "k\">",
       {"GB18030", CHARSET_AUTO_OK, false}},
      {"after the window",
       Header("text/html"),
       PadTo(kWindow + 100, decl) + Big5(),
       {"BIG5", CHARSET_AUTO_OK, false}},
      {"xml declaration after the window",
       Header("text/html"),
       PadTo(kWindow + 100, XmlDecl("big5")),
       {"GB18030", CHARSET_AUTO_OK, false}},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(PageCharsetTest, DetectionWithoutDeclarations) {
  const Case cases[] = {
      {"ascii",
       Header("text/html"),
       corpus::Page("", "plain text"),
       {"GB18030", CHARSET_AUTO_OK, false}},
      {"gbk", Header("text/html"), corpus::Page("", Gbk()), {"GB18030", CHARSET_AUTO_OK, false}},
      {"big5", Header("text/html"), corpus::Page("", Big5()), {"BIG5", CHARSET_AUTO_OK, false}},
      {"utf-8", "", corpus::Page("", Utf8()), {"UTF-8", CHARSET_AUTO_OK, false}},
      {"empty body", "", "", {"GB18030", CHARSET_AUTO_UNKONW, false}},
      {"cyrillic",
       Header("text/html"),
       corpus::Iconv("UTF-8", "WINDOWS-1251", corpus::Russian()),
       {"GB18030", CHARSET_AUTO_UNKONW, false}},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(PageCharsetTest, ContentTypeValueIsTrimmedAndReset) {
  m_data.m_strHeader = "HTTP/1.1 200 OK\r\nContent-Type:   text/html; charset=utf-8  \r\n\r\n";
  m_thread->JudgePageCharSet(&m_data);
  EXPECT_EQ(m_data.m_strHeaderContent_Type, "text/html; charset=utf-8");

  m_data.m_strHeader = "HTTP/1.1 204 No Content\r\n\r\n";
  m_data.m_strHtml.clear();
  m_thread->JudgePageCharSet(&m_data);
  EXPECT_EQ(m_data.m_strHeaderContent_Type, "");

  m_thread->JudgePageCharSet(nullptr);
}

std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// Every transfer the thread completes arrives judged.
TEST(PageCharsetTransferTest, CompletedTransfersCarryTheJudgement) {
  const struct {
    const char* ctype;
    std::string body;
    Judged want;
  } cases[] = {
      {"text/html; charset=gb2312", "plain", {"GB18030", CHARSET_HEADER, false}},
      {"text/html", MetaType("big5") + "plain", {"BIG5", CHARSET_META, false}},
      {"application/xml", XmlDecl("utf-8") + "<r/>", {"UTF-8", CHARSET_META, true}},
      {"none", "plain", {"GB18030", CHARSET_AUTO_OK, false}},
  };
  HttpSimProcess sim(ScratchDir(), {"http"});
  DownloadHarness h;
  std::vector<tagURL_ITEM*> items;
  for (const auto& c : cases) {
    const std::string query = "/p?ctype=" + Escaped(c.ctype) + "&body=" + Escaped(c.body);
    items.push_back(h.NewItem("http://cs.test:" + std::to_string(sim.Port("http")) + query));
    h.Push(items.back());
  }
  h.Start();
  ASSERT_EQ(h.WaitDone(items.size(), kDoneSeconds).size(), items.size());
  ASSERT_TRUE(h.Stop(kDoneSeconds));
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(cases[i].ctype);
    const RetData* r = h.ResultOf(items[i]);
    EXPECT_EQ(r->m_str_o_charset, cases[i].want.charset);
    EXPECT_EQ(static_cast<int>(r->m_chCharSetType), static_cast<int>(cases[i].want.source));
    EXPECT_EQ(r->m_isXml, cases[i].want.xml);
  }
}

TEST(GetConvCharsetTest, NormalisedNames) {
  const struct {
    const char* name;
    const char* want;
    bool needdetect;
  } cases[] = {
      {"utf-8", "UTF-8", false},
      {"UTF8", "UTF-8", false},
      {"x-utf", "UTF-8", false},
      {"utf-16le", "UTF-8", false},
      {"big5", "BIG5", false},
      {"Big5-HKSCS", "BIG5", false},
      {"BIGFIVE", "BIG5", false},
      {"x-big5", "x-big5", true},
      {"gb2312", "GB18030", false},
      {"GBK", "GB18030", false},
      {"zh-CN", "GB18030", false},
      {"gb_2312-80", "GB18030", false},
      {"GB-2312", "GB18030", false},
      {"bg2312", "GB18030", false},
      {"x-gb18030", "GB18030", false},
      {"gb", "gb", true},
      {"x-gbk", "x-gbk", true},
      {"en-us", "en-us", true},
      {"", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool needdetect = !c.needdetect;
    EXPECT_EQ(DownLoadThread::getConvCharset(c.name, needdetect), c.want);
    EXPECT_EQ(needdetect, c.needdetect);
  }
}

}  // namespace
