#include <time.h>

#include "CommonDnsFail.h"
#include "globals.h"
#include "json_quote.h"
#include "kpub/klog.h"
#include "kpub/kmd5.h"
#include "kpub/kstring.h"

namespace {

void WriteAuditLines(const tagURL_ITEM* pItem, int iErrno, time_t now) {
  const std::string key = KPub::Md5Hex(pItem->m_strUrl);
  const std::string date = KPub::LocalTimeText(now);
  const std::string& logCategory =
      pItem->m_strLogCatogory.empty() ? g_strLogCatogory : pItem->m_strLogCatogory;
  KLOG("search.download.common.audit", KPub::INFO,
       "\toutput\tscribe\t%s\t%s\tstage:download_%s\tkey:%s\terrno:%d\turl:%s\topts:%s\thost:%s"
       "\tdownloadTime:0.0\ttotalProcessTime:0.0\tdp1_in_time:%d\tdp1_out_time:%d"
       "\tdp2_in_time:%d\tdp2_out_time:%d\tcrawler_in_tm:%d\tcrawler_out_tm:%d\tuuid:%s",
       logCategory.c_str(), date.c_str(), pItem->m_strDataType.c_str(), key.c_str(), iErrno,
       pItem->m_strUrl.c_str(), pItem->m_strOpts.c_str(), g_szHost, pItem->m_iDp1InTime,
       pItem->m_iDp1OutTime, pItem->m_iDp2InTime, pItem->m_iDp2OutTime, pItem->m_iCreateTime,
       pItem->m_iDownLoadTime, pItem->m_strUUid.c_str());
  KLOG("search.download.common.audit", KPub::INFO,
       "\temit\t%s\tstage:download_%s\tkey:%s\terrno:%d\turl:%s\topts:%s\thost:%s"
       "\tdownloadTime:0.0\ttotalProcessTime:0.0\tdp1_in_time:%d\tdp1_out_time:%d"
       "\tdp2_in_time:%d\tdp2_out_time:%d\tcrawler_in_tm:%d\tcrawler_out_tm:%d\tuuid:%s"
       "\tmodule:crawler",
       date.c_str(), pItem->m_strDataType.c_str(), key.c_str(), iErrno, pItem->m_strUrl.c_str(),
       pItem->m_strOpts.c_str(), g_szHost, pItem->m_iDp1InTime, pItem->m_iDp1OutTime,
       pItem->m_iDp2InTime, pItem->m_iDp2OutTime, pItem->m_iCreateTime, pItem->m_iDownLoadTime,
       pItem->m_strUUid.c_str());
}

}  // namespace

void WriteCommonDnsFail(tagURL_ITEM* pItem, int iErrno) {
  static const std::string kScribeLogger("search.download.scribe");
  if (pItem == nullptr) return;
  const time_t now = time(nullptr);
  const std::string& category =
      pItem->m_strDataCatogory.empty() ? g_strDataCatogory : pItem->m_strDataCatogory;
  pItem->m_iDownLoadTime = static_cast<int>(now);
  const std::string url = valueToQuotedString(pItem->m_strUrl.c_str());
  KLOG(kScribeLogger, KPub::INFO,
       "\toutput\tscribe\t%s\t{\"optype\": \"%s\",\"errno\": %d, \"pagesize\": %d, \"url\": %s, "
       "\"durl\": %s, \"dlts\": %d, \"opts\": %s, \"uuid\": %s }",
       category.c_str(), pItem->m_strDataType.c_str(), iErrno, 0, url.c_str(), url.c_str(),
       static_cast<int>(now), valueToQuotedString(pItem->m_strOpts.c_str()).c_str(),
       valueToQuotedString(pItem->m_strUUid.c_str()).c_str());
  WriteAuditLines(pItem, iErrno, now);
}
