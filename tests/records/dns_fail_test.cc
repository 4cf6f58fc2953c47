#include <gtest/gtest.h>
#include <log4cplus/logger.h>

#include "CommonDnsFail.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kmd5.h"
#include "kpub/kstring.h"
#include "log_capture.h"
#include "process.h"

namespace {

class DnsFailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log = m_dir.File("out.log");
    testsupport::LogToFile(m_log);
    strlcpy(g_szHost, "crawl01", sizeof(g_szHost));
    g_strDataCatogory = "default_cat";
    g_strLogCatogory = "default_log";
  }

  static tagURL_ITEM Item() {
    tagURL_ITEM item{};
    item.m_strUrl = "http://a.test/p?q=\"x\"";
    item.m_strDataType = "html";
    item.m_strOpts = "{\"k\":1}";
    item.m_strUUid = "uuid-1";
    item.m_iDp1InTime = 1;
    item.m_iDp1OutTime = 2;
    item.m_iDp2InTime = 3;
    item.m_iDp2OutTime = 4;
    item.m_iCreateTime = 100;
    return item;
  }

  testsupport::TempDir m_dir;
  std::string m_log;
};

TEST_F(DnsFailTest, ThreeLinesByteForByte) {
  tagURL_ITEM item = Item();
  item.m_strDataCatogory = "cat";
  item.m_strLogCatogory = "logcat";
  WriteCommonDnsFail(&item, -6);
  const std::string t = std::to_string(item.m_iDownLoadTime);
  const std::string date = KPub::LocalTimeText(item.m_iDownLoadTime);
  const std::string key = KPub::Md5Hex(item.m_strUrl);
  const std::string tail = "\tstage:download_html\tkey:" + key +
                           "\terrno:-6\turl:http://a.test/p?q=\"x\"\topts:{\"k\":1}\thost:crawl01"
                           "\tdownloadTime:0.0\ttotalProcessTime:0.0\tdp1_in_time:1"
                           "\tdp1_out_time:2\tdp2_in_time:3\tdp2_out_time:4\tcrawler_in_tm:100"
                           "\tcrawler_out_tm:" +
                           t + "\tuuid:uuid-1";
  const std::string expected =
      "[search.download.scribe]\toutput\tscribe\tcat\t{\"optype\": \"html\",\"errno\": -6, "
      "\"pagesize\": 0, \"url\": \"http://a.test/p?q=\\\"x\\\"\", "
      "\"durl\": \"http://a.test/p?q=\\\"x\\\"\", \"dlts\": " +
      t +
      ", \"opts\": \"{\\\"k\\\":1}\", \"uuid\": \"uuid-1\" }\n"
      "[search.download.common.audit]\toutput\tscribe\tlogcat\t" +
      date + tail +
      "\n"
      "[search.download.common.audit]\temit\t" +
      date + tail + "\tmodule:crawler\n";
  EXPECT_EQ(expected, testsupport::ReadFile(m_log));
}

TEST_F(DnsFailTest, EmptyCategoriesFallBackToTheDefaults) {
  tagURL_ITEM item = Item();
  WriteCommonDnsFail(&item, -4);
  std::string out = testsupport::ReadFile(m_log);
  EXPECT_NE(std::string::npos,
            out.find("[search.download.scribe]\toutput\tscribe\tdefault_cat\t{"));
  EXPECT_NE(std::string::npos, out.find("\toutput\tscribe\tdefault_log\t"));
}

TEST_F(DnsFailTest, EmptyCategoryAndEmptyDefaultStillWriteOneRecord) {
  g_strDataCatogory.clear();
  tagURL_ITEM item = Item();
  WriteCommonDnsFail(&item, -4);
  std::string out = testsupport::ReadFile(m_log);
  EXPECT_EQ(0u, out.find("[search.download.scribe]\toutput\tscribe\t\t{\"optype\""));
  size_t records = 0;
  for (size_t pos = 0; (pos = out.find("[search.download.scribe]", pos)) != std::string::npos;
       ++pos) {
    ++records;
  }
  EXPECT_EQ(1u, records);
}

}  // namespace
