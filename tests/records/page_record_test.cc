// Result records of finished items, read back from a real file appender:
// the four record forms byte for byte, the errno order, the POST rewrite,
// page, content type and opts handling, categories and the bookkeeping lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DownLoadThread.h"
#include "globals.h"
#include "htmlcharset/html_process.h"
#include "kpub/klog.h"
#include "kpub/kmd5.h"
#include "kpub/kstring.h"
#include "log_capture.h"
#include "process.h"
#include "record_bytes.h"

namespace {

const char kPageUrl[] = "http://a.test/p";
const char kHeader[] =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nETag: \"abc\"\r\n"
    "Last-Modified: Tue, 01 Jan 2030 00:00:00 GMT\r\n\r\n";

// The page a record's content carries: base64, then zlib.
std::string DecodeContent(const std::string& content) {
  bool ok = false;
  std::string zipped = testsupport::Base64Decode(content, ok);
  std::string page;
  if (!ok) return "<bad base64>";
  if (!testsupport::Inflate(zipped, page)) return "<bad zlib>";
  return page;
}

using testsupport::Lines;

std::vector<std::string> LinesOf(const std::string& text, const std::string& logger) {
  std::vector<std::string> picked;
  for (const std::string& line : Lines(text)) {
    if (line.compare(0, logger.size() + 2, "[" + logger + "]") == 0) {
      picked.push_back(line.substr(logger.size() + 2));
    }
  }
  return picked;
}

// Cuts the content field out of a record, leaving "<content>" in its place.
std::string TakeContent(std::string& record) {
  const std::string open = "\"content\": \"";
  size_t at = record.find(open);
  if (at == std::string::npos) return std::string();
  at += open.size();
  const size_t end = record.find('"', at);
  std::string content = record.substr(at, end - at);
  record.replace(at, end - at, "<content>");
  return content;
}

class PageRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { g_bStopWriteOutPut = false; }

  // A fresh log file, thread and a successful 200 page; loops over case
  // tables start each case here.
  void Reset() {
    m_log = m_dir.File("out.log");
    testsupport::LogToFile(m_log);
    strlcpy(g_szHost, "crawl01", sizeof(g_szHost));
    g_strDataCatogory = "default_cat";
    g_strLogCatogory = "default_log";
    g_strStatCatogory.clear();
    g_bStopWriteOutPut = false;
    const std::string ini = m_dir.File("crawler.ini");
    testsupport::WriteFile(ini,
                           "[download]\nmax_redirect_count = 5\ndownload_timeout = 30\n"
                           "connect_timeout = 10\nmeta_jump_max_second = 3\n"
                           "ignore_meta_jump_size = 4096\ndownload_max_length = 2097152\n"
                           "user_agent = User-Agent: test\nspider_name = TestSpider\n");
    m_thread.reset(new DownLoadThread("", 0, m_inflight, 7, 1));
    ASSERT_TRUE(m_thread->Create(ini.c_str()));
    ASSERT_TRUE(m_data.Init());
    m_item = tagURL_ITEM{};
    m_item.m_strUrl = kPageUrl;
    m_item.m_strDataType = "html";
    m_item.m_strDataCatogory = "cat";
    m_item.m_strLogCatogory = "logcat";
    m_item.m_strReferer = "http://r.test/";
    m_item.m_strUUid = "uuid-1";
    m_item.m_strOpts = "k=v";
    m_item.m_iIP = 16777343;
    m_item.m_iIP1 = -1;
    m_item.m_iDp1InTime = 1;
    m_item.m_iDp1OutTime = 2;
    m_item.m_iDp2InTime = 3;
    m_item.m_iDp2OutTime = 4;
    m_item.m_iCreateTime = 100;
    m_data.m_pstUrlItem = &m_item;
    strlcpy(m_data.m_pszOutPutUrl, kPageUrl, kUrlBufferSize);
    strlcpy(m_data.m_pszNewUrl, kPageUrl, kUrlBufferSize);
    m_data.m_lHttpRetCode = 200;
    m_data.m_strIP = "127.0.0.1";
    m_data.m_strInterfaceIP = "10.0.0.1";
    m_data.m_strHeader = kHeader;
    m_data.m_strHeaderContent_Type = "text/html";
    m_data.m_str_o_charset = "UTF-8";
    m_data.m_strOriginHtml = "<html>hello</html>";
    m_data.m_iCurHeaderLen = static_cast<int>(m_data.m_strHeader.size());
    m_data.m_dConnectTime = 0.125;
    m_data.m_dDownLoadTime = 0.5;
    m_data.m_lDownLoadStartTime = 1000000;
    m_data.m_lDownLoadEndTime = 1250000;
  }

  std::string Output() const { return testsupport::ReadFile(m_log); }
  std::vector<std::string> Records() const { return LinesOf(Output(), "search.download.scribe"); }
  std::vector<std::string> Audits() const {
    return LinesOf(Output(), "search.download.common.audit");
  }
  std::string Dlts() const { return std::to_string(m_item.m_iDownLoadTime); }
  std::string EtagOpts() const { return "k=v;etag:" + KPub::Md5Hex("\"abc\""); }

  testsupport::TempDir m_dir;
  std::string m_log;
  int m_inflight = 0;
  std::unique_ptr<DownLoadThread> m_thread;
  RetData m_data;
  tagURL_ITEM m_item;
};

TEST_F(PageRecordTest, FormPageByteForByteOncePerCategory) {
  m_item.m_strDataCatogory = "c1;c2";
  ASSERT_TRUE(m_thread->OutPutPageData(&m_data));
  std::vector<std::string> records = Records();
  ASSERT_EQ(2u, records.size());
  const std::string body =
      "\t{\"optype\": \"html\",\"errno\": 0, \"pagesize\": 18, \"cuthtmlflag\": 0, "
      "\"url\": \"http://a.test/p\", \"durl\": \"http://a.test/p\", \"dlts\": " +
      Dlts() +
      ", \"dltimecost\": 0.25, \"lastip\": \"127.0.0.1\", \"httpcode\": 200, "
      "\"content_type\": \"text/html\", \"opts\": \"" +
      EtagOpts() +
      "\", \"value\": [{\"type\": \"99\", \"attrs\": {\"content\": \"<content>\"}}],"
      "\"referer\": \"http://r.test/\", \"Last-Modified\": \"Tue, 01 Jan 2030 00:00:00 GMT\", "
      "\"uuid\": \"uuid-1\"}";
  const char* categories[] = {"c1", "c2"};
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string content = TakeContent(records[i]);
    EXPECT_EQ(std::string("\toutput\tscribe\t") + categories[i] + body, records[i]);
    EXPECT_EQ("<html>hello</html>", DecodeContent(content));
  }
}

TEST_F(PageRecordTest, BookkeepingLinesByteForByte) {
  g_strStatCatogory = "statcat";
  m_item.m_iIP1 = 16777343;
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  const std::string date = KPub::LocalTimeText(m_item.m_iDownLoadTime);
  const std::string middle = "\tstage:download_html\tkey:" + KPub::Md5Hex(kPageUrl) +
                             "\terrno:0\turl:http://a.test/p\thttpcode:200\tlen:18"
                             "\tdurl:http://a.test/p\tspeed:0.500000\tETag:\"abc\""
                             "\tLast-Modified:Tue, 01 Jan 2030 00:00:00 GMT\t301flag:0"
                             "\tJumpHomePageflag:0\topts:" +
                             EtagOpts() +
                             "\thost:crawl01\tcurlcode:0\treferer:http://r.test/"
                             "\tcurlUrl:http://a.test/p\tconnectTime:0.125000"
                             "\tdownloadTime:0.500000\ttotalProcessTime:0.250000"
                             "\tdp1_in_time:1\tdp1_out_time:2\tdp2_in_time:3\tdp2_out_time:4"
                             "\tcrawler_in_tm:100\tcrawler_out_tm:" +
                             Dlts() + "\tuuid:uuid-1\tid:7";
  const std::vector<std::string> expected = {
      "\toutput\tscribe\tlogcat\t" + date + middle + "\tlastip:127.0.0.1",
      "\temit\t" + date + middle + "\tmodule:crawler",
      "\toutput\tscribe\tstatcat\t" + date + " NOTICE:  http://a.test/p\tcrawler_put:" + Dlts() +
          "\terrno:0\treferer:http://r.test/",
  };
  EXPECT_EQ(expected, Audits());
  const std::vector<std::string> summary = {
      "url=http://a.test/p, datatype=html, httpcode:200, curlcode:0, set_ip:16777343, "
      "download_ip:16777343, interface_ip:10.0.0.1 connect_time=0.125000, "
      "download_time=0.500000, totalProcessTime=0.250000, dp1_in_time:1, dp1_out_time:2, "
      "dp2_in_time:3, dp2_out_time:4, crawler_in_tm:100, crawler_out_tm:" +
      Dlts() + ", uuid:uuid-1, id:7, date:" + date};
  EXPECT_EQ(summary, LinesOf(Output(), "search.download"));
  // Record first, then the audit lines in their order, the summary last.
  const std::vector<std::string> lines = Lines(Output());
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(0u, lines[0].find("[search.download.scribe]"));
  EXPECT_EQ(0u, lines[4].find("[search.download]"));
}

TEST_F(PageRecordTest, FormFailCarriesNoPage) {
  m_data.m_lHttpRetCode = 404;
  m_data.m_strHeader.clear();
  m_item.m_strOpts.clear();
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  const std::vector<std::string> expected = {
      "\toutput\tscribe\tcat\t{\"optype\": \"html\",\"errno\": -1, \"pagesize\": 18, "
      "\"cuthtmlflag\": 0, \"url\": \"http://a.test/p\", \"durl\": \"http://a.test/p\", "
      "\"dlts\": " +
      Dlts() +
      ", \"dltimecost\": 0.25, \"lastip\": \"127.0.0.1\", \"httpcode\": 404, "
      "\"content_type\": \"text/html\", \"opts\": \"\", \"uuid\": \"uuid-1\"}"};
  EXPECT_EQ(expected, Records());
  EXPECT_NE(std::string::npos, Audits()[0].find("\tETag:\tLast-Modified:\t"));
}

TEST_F(PageRecordTest, TransferTimeWithoutEndTimeDoesNotWrap) {
  m_data.m_lDownLoadEndTime = 0;
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  const std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].find(", \"dltimecost\": -1, "));
  EXPECT_NE(std::string::npos, Audits()[0].find("\ttotalProcessTime:-1.000000\t"));
}

struct ErrnoCase {
  const char* name;
  int curlCode;
  int headerLen;
  long httpCode;
  bool cut, robotsBan, jumpNoIp, needJs;
  int errNo;
};

TEST_F(PageRecordTest, FirstMatchingTestDecidesErrno) {
  const ErrnoCase cases[] = {
      {"rejected type beats every flag", 23, 0, 200, true, true, true, true, -3},
      {"robots ban beats no-address jump", 0, 10, 200, false, true, true, true, -8},
      {"no-address jump beats scripts", 0, 10, 200, false, false, true, true, -9},
      {"scripts beat a cut page", 23, 10, 200, true, false, false, true, -10},
      {"cut page is a success", 23, 10, 200, true, false, false, false, 0},
      {"write error without cut", 23, 10, 200, false, false, false, false, -1},
      {"time-out", 28, 10, 200, false, false, false, false, -1},
      {"status 199", 0, 10, 199, false, false, false, false, -1},
      {"status 299", 0, 10, 299, false, false, false, false, 0},
      {"status 301", 0, 10, 301, false, false, false, false, -1},
  };
  for (const ErrnoCase& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    m_data.m_iCurlRetCode = c.curlCode;
    m_data.m_iCurHeaderLen = c.headerLen;
    m_data.m_lHttpRetCode = c.httpCode;
    m_data.m_iCutHtmlFlag = c.cut;
    m_data.m_iRobotsBanUrlFlag = c.robotsBan;
    m_data.m_iJumpNoIpUrlFlag = c.jumpNoIp;
    m_data.m_bNeedJsFlag = c.needJs;
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(1u, records.size());
    const std::string errNo = std::to_string(c.errNo);
    EXPECT_NE(std::string::npos, records[0].find("\"errno\": " + errNo + ", "));
    EXPECT_NE(std::string::npos, Audits()[0].find("\terrno:" + errNo + "\t"));
    EXPECT_EQ(c.errNo == 0, records[0].find("\"type\": \"99\"") != std::string::npos);
    const std::string cutFlag = c.cut ? "1" : "0";
    EXPECT_NE(std::string::npos, records[0].find("\"cuthtmlflag\": " + cutFlag + ","));
    // A rejected response leaves without its page.
    EXPECT_EQ(c.errNo == -3 ? "" : "<html>hello</html>", m_data.m_strOriginHtml);
  }
}

TEST_F(PageRecordTest, PostItemIsRewrittenAndKeyedByTheRewrite) {
  m_item.m_strPostFields = "a=1&b=2";
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  const std::string rewritten = "http://a.test/p?a=1&b=2&method=post";
  EXPECT_EQ(rewritten, m_item.m_strUrl);
  std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos,
            records[0].find("\"url\": \"" + rewritten + "\", \"durl\": \"" + rewritten + "\", "));
  const std::vector<std::string> audits = Audits();
  EXPECT_NE(std::string::npos, audits[0].find("\tkey:" + KPub::Md5Hex(rewritten) + "\t"));
  EXPECT_NE(std::string::npos, audits[0].find("\tcurlUrl:http://a.test/p\t"));
}

struct UrlCase {
  const char* outputUrl;
  const char* durl;
};

TEST_F(PageRecordTest, OutputAndLastUrlsLeaveNormalised) {
  const UrlCase cases[] = {
      {"HTTP://A.Test:80/x/../p#frag", "http://a.test/p"},
      {"http://a.test/q?PHPSESSID=1&b=2", "http://a.test/q?b=2"},
      // Without a canonical form the text goes out as it is.
      {"not a url", "not a url"},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.outputUrl);
    Reset();
    strlcpy(m_data.m_pszOutPutUrl, c.outputUrl, kUrlBufferSize);
    strlcpy(m_data.m_pszNewUrl, c.outputUrl, kUrlBufferSize);
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos,
              records[0].find(std::string(", \"durl\": \"") + c.durl + "\", \"dlts\""));
    const std::string audit = Audits()[0];
    EXPECT_NE(std::string::npos, audit.find(std::string("\tdurl:") + c.durl + "\tspeed:"));
    EXPECT_NE(std::string::npos, audit.find(std::string("\tcurlUrl:") + c.durl + "\tconnect"));
  }
}

TEST_F(PageRecordTest, Utf16PageLeavesAsHtmlProcessText) {
  const std::string ascii = "<html><body>wide page</body></html>";
  std::string wide("\xFF\xFE", 2);
  for (char c : ascii) {
    wide += c;
    wide += '\0';
  }
  m_data.m_strOriginHtml = wide;
  std::vector<char> out(kDecodePageSize);
  std::vector<uint16_t> work(kWideBufferUnits);
  html_process(wide.data(), static_cast<int>(wide.size()), out.data(), static_cast<int>(out.size()),
               work.data(), static_cast<int>(work.size()), HTML_OUTPUT_UTF8, nullptr, nullptr);
  const std::string expected(out.data());
  ASSERT_FALSE(expected.empty());
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(expected, m_data.m_strOriginHtml);
  EXPECT_NE(std::string::npos,
            records[0].find("\"pagesize\": " + std::to_string(expected.size()) + ","));
  EXPECT_EQ(expected, DecodeContent(TakeContent(records[0])));
}

TEST_F(PageRecordTest, OtherPagesLeaveByteForByte) {
  m_data.m_strOriginHtml.assign("<html>\xD6\xD0\0\xCE\xC4</html>", 18);
  m_data.m_str_o_charset = "GBK";
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].find("\"pagesize\": 18,"));
  EXPECT_EQ(m_data.m_strOriginHtml, DecodeContent(TakeContent(records[0])));
}

TEST_F(PageRecordTest, RecordsAreNotCutAtTheMessageLimit) {
  // Random letters: even compressed, the record is far longer than any
  // message the formatted log calls let through.
  std::string page(3 * static_cast<size_t>(KPub::kLogMessageMax), '\0');
  uint32_t x = 2463534242u;
  for (char& c : page) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>('a' + x % 26);
  }
  m_data.m_strOriginHtml = page;
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_GT(records[0].size(), static_cast<size_t>(KPub::kLogMessageMax));
  const std::string end = "\"uuid\": \"uuid-1\"}";
  EXPECT_EQ(end, records[0].substr(records[0].size() - end.size()));
  EXPECT_EQ(page, DecodeContent(TakeContent(records[0])));
}

struct ContentTypeCase {
  const char* header;
  const char* charset;
  const char* quoted;
};

TEST_F(PageRecordTest, ContentTypeDefaultedTrimmedAndConverted) {
  const ContentTypeCase cases[] = {
      {"", "UTF-8", "\"text/html\""},
      {" text/plain; charset=gbk \r", "GBK", "\"text/plain; charset=gbk\""},
      {"text/html; x=\xD6\xD0", "GBK", "\"text/html; x=\\u4e2d\""},
      // Judged UTF-8: the bytes stay as they came, raw where they are invalid.
      {"text/html; x=\xD6\xD0", "UTF-8", "\"text/html; x=\xD6\xD0\""},
  };
  for (const ContentTypeCase& c : cases) {
    SCOPED_TRACE(c.header);
    Reset();
    m_data.m_strHeaderContent_Type = c.header;
    m_data.m_str_o_charset = c.charset;
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos,
              records[0].find(std::string("\"content_type\": ") + c.quoted + ", \"opts\""));
  }
}

struct OptsCase {
  const char* opts;
  const char* header;
  std::string expected;
};

TEST_F(PageRecordTest, OptsInUtf8WithTheEtagDigest) {
  const std::string digest = KPub::Md5Hex("\"abc\"");
  const OptsCase cases[] = {
      {"k=v", "ETag: \"abc\"\r\n", "k=v;etag:" + digest},
      {"", "etag:   \"abc\"  \r\n", "etag:" + digest},
      {"k=v", "Server: x\r\n", "k=v"},
      {"k=\xD6\xD0", "Server: x\r\n", "k=\\u4e2d"},
  };
  for (const OptsCase& c : cases) {
    SCOPED_TRACE(c.header);
    Reset();
    m_item.m_strOpts = c.opts;
    m_data.m_strHeader = std::string("HTTP/1.1 200 OK\r\n") + c.header + "\r\n";
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos, records[0].find("\"opts\": \"" + c.expected + "\", \"value\""));
  }
}

struct CategoryCase {
  const char* item;
  const char* fallback;
  std::vector<std::string> categories;
};

TEST_F(PageRecordTest, OneRecordPerNonEmptyCategory) {
  const CategoryCase cases[] = {
      {"solo", "default_cat", {"solo"}}, {"a;;b", "default_cat", {"a", "b"}},
      {"", "d1;d2", {"d1", "d2"}},       {"", "", {}},
      {";", "default_cat", {}},
  };
  for (const CategoryCase& c : cases) {
    SCOPED_TRACE(c.item);
    Reset();
    m_item.m_strDataCatogory = c.item;
    g_strDataCatogory = c.fallback;
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    std::vector<std::string> seen;
    for (const std::string& record : Records()) {
      const size_t start = std::string("\toutput\tscribe\t").size();
      seen.push_back(record.substr(start, record.find('\t', start) - start));
    }
    EXPECT_EQ(c.categories, seen);
    // The bookkeeping lines do not depend on the records.
    EXPECT_EQ(2u, Audits().size());
    EXPECT_EQ(1u, LinesOf(Output(), "search.download").size());
  }
}

TEST_F(PageRecordTest, NoBodyItemsGetOnlyFailureRecords) {
  m_item.m_strDataType = "meta-search-nobody";
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(2u, Audits().size());
  Reset();
  m_item.m_strDataType = "meta-search-nobody";
  m_data.m_lHttpRetCode = 500;
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  const std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos,
            records[0].find("{\"optype\": \"meta-search-nobody\",\"errno\": -1, "));
  EXPECT_EQ(std::string::npos, records[0].find("\"value\""));
}

TEST_F(PageRecordTest, RobotsRulesByteForByte) {
  m_item.m_strUrl = "http://a.test:8080/robots.txt";
  m_item.m_strDataType = "Robots";
  strlcpy(m_data.m_pszOutPutUrl, m_item.m_strUrl.c_str(), kUrlBufferSize);
  m_data.m_strHeaderContent_Type = "text/plain";
  m_data.m_strOriginHtml = "User-agent: *\nDisallow: /private\nAllow: /pub\n";
  ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
  std::vector<std::string> records = Records();
  ASSERT_EQ(1u, records.size());
  const std::string content = TakeContent(records[0]);
  EXPECT_EQ(
      "\toutput\tscribe\tcat\t{\"optype\": \"Robots\",\"errno\": 0, \"pagesize\": 45, "
      "\"url\": \"http://a.test:8080/robots.txt\", \"durl\": \"http://a.test:8080/robots.txt\", "
      "\"dlts\": " +
          Dlts() +
          ", \"lastip\": \"127.0.0.1\", \"httpcode\": 200, \"value\": [{\"type\": \"98\", "
          "\"attrs\": {\"content\": \"<content>\", \"pattern\": "
          "\"http://a.test:8080\\t/private\\t/pub\"}}], \"uuid\": \"uuid-1\"}",
      records[0]);
  EXPECT_EQ(m_data.m_strOriginHtml, DecodeContent(content));
}

struct RobotsFailCase {
  const char* name;
  const char* url;
  const char* durl;
  const char* contentType;
  long httpCode;
  const char* site;
};

TEST_F(PageRecordTest, RobotsFailuresCarryTheSiteOnly) {
  const RobotsFailCase cases[] = {
      {"html answer", "http://a.test/robots.txt", "http://a.test/robots.txt",
       "text/HTML; charset=utf-8", 200, "http://a.test"},
      {"no content type", "http://a.test:80/robots.txt", "http://a.test/robots.txt", "", 200,
       "http://a.test"},
      {"not found", "https://a.test:8443/robots.txt", "https://a.test:8443/robots.txt",
       "text/plain", 404, "https://a.test:8443"},
  };
  for (const RobotsFailCase& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    m_item.m_strUrl = c.url;
    m_item.m_strDataType = "robots";
    strlcpy(m_data.m_pszOutPutUrl, c.url, kUrlBufferSize);
    m_data.m_strHeaderContent_Type = c.contentType;
    m_data.m_lHttpRetCode = c.httpCode;
    m_data.m_strOriginHtml = "User-agent: *\nDisallow: /x\n";
    ASSERT_TRUE(m_thread->OutPutCommonData(&m_data));
    const std::vector<std::string> expected = {
        "\toutput\tscribe\tcat\t{\"optype\": \"robots\",\"errno\": -1, \"pagesize\": 27, "
        "\"url\": \"" +
        std::string(c.url) + "\", \"durl\": \"" + c.durl + "\", \"dlts\": " + Dlts() +
        ", \"lastip\": \"127.0.0.1\", \"httpcode\": " + std::to_string(c.httpCode) +
        ", \"value\": [{\"type\": \"98\", \"attrs\": {\"pattern\": \"" + c.site +
        "\\t\\t\"}}], \"uuid\": \"uuid-1\"}"};
    EXPECT_EQ(expected, Records());
    EXPECT_NE(std::string::npos, Audits()[0].find("\terrno:-1\t"));
  }
}

TEST_F(PageRecordTest, AfterTheGracePeriodOnlyTheDiscardLine) {
  m_item.m_strPostFields = "a=1";
  g_bStopWriteOutPut = true;
  EXPECT_TRUE(m_thread->OutPutPageData(&m_data));
  EXPECT_EQ("[search.download]url=[http://a.test/p] will be discard.\n", Output());
  EXPECT_EQ(kPageUrl, m_item.m_strUrl);
}

TEST_F(PageRecordTest, RecordWithoutItemWritesNothing) {
  EXPECT_FALSE(m_thread->OutPutCommonData(nullptr));
  EXPECT_FALSE(m_thread->OutPutPageData(nullptr));
  m_data.m_pstUrlItem = nullptr;
  EXPECT_FALSE(m_thread->OutPutCommonData(&m_data));
  g_bStopWriteOutPut = true;
  EXPECT_FALSE(m_thread->OutPutPageData(&m_data));
  EXPECT_EQ("", Output());
}

}  // namespace
