#include <gtest/gtest.h>

#include "DownLoadThread.h"

namespace {

tagURL_ITEM BareItem() {
  tagURL_ITEM item{};
  item.m_strUrl = "http://a.test/";
  item.m_strDataType = "html";
  item.m_iIP = -1;
  item.m_chResFlag = static_cast<char>(255);
  item.m_chProxyType = 2;
  item.m_iDp1InTime = 10;
  item.m_iDp1OutTime = -1;
  return item;
}

TEST(DumpUrl, NullIsEmpty) { EXPECT_EQ("", DownLoadThread::DumpUrl(nullptr)); }

TEST(DumpUrl, EndsAtDispatcherTimeWhenOptionalFieldsAreEmpty) {
  tagURL_ITEM item = BareItem();
  EXPECT_EQ(
      "url:http://a.test/\tdata_type:html\tip:-1\tres_flag:-1\tproxy_type:2"
      "\tdispatcher1_in_tm:10\tdispatcher1_out_tm:-1",
      DownLoadThread::DumpUrl(&item));
}

TEST(DumpUrl, OptionalFieldsInOrder) {
  tagURL_ITEM item = BareItem();
  item.m_strPostFields = "p=1";
  item.m_strCookie = "c=1";
  item.m_strUUid = "u";
  item.m_strProxy = "1.2.3.4:80";
  item.m_strProxyName = "px";
  item.m_strOpts = "o";
  item.m_strUserAgent = "ua";
  item.m_strDataCatogory = "dc";
  item.m_strLogCatogory = "lc";
  item.m_strReferer = "r";
  EXPECT_EQ(
      "url:http://a.test/\tdata_type:html\tip:-1\tres_flag:-1\tproxy_type:2"
      "\tdispatcher1_in_tm:10\tdispatcher1_out_tm:-1\tcookie:c=1\tuuid:u"
      "\tproxy_addr:1.2.3.4:80\tproxy_name:px\topt:o\tuser_agent:ua\tdata_category:dc"
      "\tlog_category:lc\treferer:r\tpostdata:p=1",
      DownLoadThread::DumpUrl(&item));
  item.m_strCookie.clear();
  item.m_strReferer.clear();
  std::string out = DownLoadThread::DumpUrl(&item);
  EXPECT_EQ(std::string::npos, out.find("cookie:"));
  EXPECT_NE(std::string::npos, out.find("\tlog_category:lc\tpostdata:p=1"));
}

}  // namespace
