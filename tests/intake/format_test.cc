#include "intake_fixture.h"
#include "kpub/kstring.h"

namespace {

TEST(IntakeQuota, Arithmetic) {
  struct Case {
    int threads, inflight;
    unsigned long pending, waiting;
    int quota;
  };
  const Case cases[] = {
      {10, 200, 150, 0, 130},  {10, 0, 0, 0, 480},  {10, 0, 0, 479, 480},
      {10, 0, 0, 480, 0},      {10, 0, 0, 5000, 0}, {10, 300, 180, 0, 0},
      {10, 400, 200, 0, -120}, {1, 0, 0, 0, 48},    {3, 1, 0, 0, 143},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.quota, IntakeQuota(c.threads, c.inflight, c.pending, c.waiting))
        << c.threads << " " << c.inflight << " " << c.pending << " " << c.waiting;
  }
}

TEST(IntakeMatch, PasswordParameters) {
  struct Case {
    const char* url;
    bool bad;
  };
  const Case cases[] = {
      {"http://a.test/login?password=x", true},     {"http://a.test/login?PassWord=x", true},
      {"http://a.test/login?u=1&PASSWORD=x", true}, {"http://a.test/login?u=1&password=", true},
      {"http://a.test/password=x", false},          {"http://a.test/?u=1&mypassword=x", false},
      {"http://a.test/?passwords=x", false},        {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.bad, Match(c.url)) << c.url;
}

spider::UrlInfoItem Info(const std::string& url) {
  spider::UrlInfoItem info;
  info.url = url;
  info.data_type = "html";
  return info;
}

TEST_F(IntakeTest, FormatFillsDefaultsForUnsetFields) {
  PullDataT pull;
  tagURL_ITEM* item = pull.Format(Info("http://a.test/"), 3);
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(item, GetUrlItem(item->m_iCurNo));
  EXPECT_EQ(3, item->m_iPullFd);
  EXPECT_EQ(-1, item->m_iNext);
  EXPECT_EQ(-1, item->m_iIP);
  EXPECT_EQ(-1, item->m_iIP1);
  EXPECT_EQ(static_cast<char>(255), item->m_chResFlag);
  EXPECT_EQ(static_cast<char>(255), item->m_chProxyType);
  EXPECT_FALSE(item->m_bIpNoReplace);
  EXPECT_EQ(-1, item->m_iDp1InTime);
  EXPECT_EQ(-1, item->m_iDp2OutTime);
  EXPECT_EQ(32u, item->m_strUUid.size());
  EXPECT_EQ(std::string::npos, item->m_strUUid.find_first_not_of("0123456789abcdef"));
  tagURL_ITEM* second = pull.Format(Info("http://a.test/"), 3);
  EXPECT_NE(item->m_strUUid, second->m_strUUid) << "made-up ids differ per fetch";
  g_pUrlMem->FreeOneItem(item->m_iCurNo);
  g_pUrlMem->FreeOneItem(second->m_iCurNo);
}

TEST_F(IntakeTest, FormatCopiesSetFieldsAndReusedSlotsForgetOldValues) {
  PullDataT pull;
  spider::UrlInfoItem info = Info("http://b.test/x");
  info.__set_ip(0x0100007F);
  info.__set_res_flag(0x102);
  info.__set_proxy_type(1);
  info.__set_ip_no_replace(true);
  info.__set_cookie("a=1\r\nb=2");
  info.__set_user_agent("ua\n");
  info.__set_referer("http://r.test/\n");
  info.__set_uuid("given");
  info.__set_proxy_name("px");
  info.__set_proxy_addr("1.2.3.4:80");
  info.__set_dispatcher1_in_tm(11);
  tagURL_ITEM* item = pull.Format(info, 1);
  ASSERT_NE(nullptr, item);
  EXPECT_EQ(0x0100007F, item->m_iIP);
  EXPECT_EQ(0x0100007F, item->m_iIP1);
  EXPECT_EQ(2, item->m_chResFlag);
  EXPECT_EQ(1, item->m_chProxyType);
  EXPECT_TRUE(item->m_bIpNoReplace);
  EXPECT_EQ("a=1  b=2", item->m_strCookie);
  EXPECT_EQ("ua ", item->m_strUserAgent);
  EXPECT_EQ("http://r.test/\n", item->m_strReferer);
  EXPECT_EQ("given", item->m_strUUid);
  EXPECT_EQ(11, item->m_iDp1InTime);
  item->m_strHost = "b.test";
  item->m_ips = {1, 2};
  item->m_bWaiting = true;
  int no = item->m_iCurNo;
  g_pUrlMem->FreeOneItem(no);

  tagURL_ITEM* again = pull.Format(Info("http://c.test/"), 2);
  ASSERT_EQ(no, again->m_iCurNo) << "the freed slot is handed out again";
  EXPECT_EQ("", again->m_strCookie);
  EXPECT_EQ("", again->m_strProxyName);
  EXPECT_EQ("", again->m_strHost);
  EXPECT_TRUE(again->m_ips.empty());
  EXPECT_FALSE(again->m_bWaiting);
  EXPECT_NE("given", again->m_strUUid);
  g_pUrlMem->FreeOneItem(no);
}

TEST_F(IntakeTest, StatCategoryWritesTheIntakeAuditLine) {
  g_strStatCatogory = "stat";
  PullDataT pull;
  tagURL_ITEM* item = pull.Format(Info("http://a.test/"), 1);
  ASSERT_NE(nullptr, item);
  const std::string expected =
      "[search.download.common.audit]\toutput\tscribe\tstat\t" +
      KPub::LocalTimeText(item->m_iCreateTime) +
      " NOTICE:  http://a.test/\tcrawler_get:" + std::to_string(item->m_iCreateTime) + "\n";
  EXPECT_EQ(expected, Log());
  g_strStatCatogory.clear();
  g_pUrlMem->FreeOneItem(item->m_iCurNo);
}

TEST_F(IntakeTest, ProcessDataQueuesGoodUrlsAndRejectsTheRest) {
  const std::string base = "http://a.test/";
  const std::string exact(base + std::string(kMaxIntakeUrlLength - base.size(), 'x'));
  const std::string over = exact + "y";
  spider::ProvideDataResponse resp;
  resp.__set_url_infos({Info("http://ok.test/1"), Info("ftp://files.test/a"), Info("http:///path"),
                        Info("http://a.test/?Password=1"), Info(exact), Info(over),
                        Info("HTTPS://ok.test/2")});
  PullDataT pull;
  pull.ProcessData(resp, 1);
  std::vector<std::string> queued;
  for (int no : Pending()) queued.push_back(GetUrlItem(no)->m_strUrl);
  EXPECT_EQ((std::vector<std::string>{"http://ok.test/1", exact, "HTTPS://ok.test/2"}), queued);
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("error url-format! url=[ftp://files.test/a]"));
  EXPECT_NE(std::string::npos, log.find("error url-format! url=[http:///path]"));
  EXPECT_NE(std::string::npos, log.find("Match Bad Url, url=[http://a.test/?Password=1]"));
  EXPECT_NE(std::string::npos, log.find("\"errno\": -6, \"pagesize\": 0, \"url\": \"" + over));
  EXPECT_EQ(std::string::npos, log.find("\"url\": \"" + exact + "\""));
}

TEST_F(IntakeTest, ProcessDataStopsWhenTheRunFlagDrops) {
  spider::ProvideDataResponse resp;
  resp.__set_url_infos({Info("http://a.test/1"), Info("http://a.test/2")});
  g_bLoadThreadRun = false;
  PullDataT pull;
  pull.ProcessData(resp, 1);
  EXPECT_TRUE(Pending().empty());
}

}  // namespace
