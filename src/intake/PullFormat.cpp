#include <string.h>
#include <strings.h>
#include <time.h>

#include <new>

#include "CommonDnsFail.h"
#include "PullDataT.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kmd5.h"
#include "kpub/kstring.h"
#include "url_util.h"

namespace {

const char kLogger[] = "search.download";
const char kAuditLogger[] = "search.download.common.audit";
constexpr int kUrlTooLongErrno = -6;
constexpr int kUnsetNumber = -1;
constexpr char kUnsetByte = static_cast<char>(255);

bool HasHttpScheme(const char* url) {
  return strncasecmp(url, "http://", 7) == 0 || strncasecmp(url, "https://", 8) == 0;
}

void FreeItem(tagURL_ITEM* item) {
  if (!g_pUrlMem->FreeOneItem(static_cast<dword>(item->m_iCurNo))) {
    KLOG(kLogger, KPub::ERROR, "g_pUrlMem FreeOneItem fail.");
  }
}

void FillNumbers(const spider::UrlInfoItem& info, tagURL_ITEM* item) {
  const auto& set = info.__isset;
  item->m_iIP = set.ip ? info.ip : kUnsetNumber;
  item->m_iIP1 = item->m_iIP;
  item->m_chResFlag = set.res_flag ? static_cast<char>(info.res_flag & 0xFF) : kUnsetByte;
  item->m_bIpNoReplace = set.ip_no_replace && info.ip_no_replace;
  item->m_chProxyType = set.proxy_type ? static_cast<char>(info.proxy_type & 0xFF) : kUnsetByte;
  item->m_iDp1InTime = set.dispatcher1_in_tm ? info.dispatcher1_in_tm : kUnsetNumber;
  item->m_iDp1OutTime = set.dispatcher1_out_tm ? info.dispatcher1_out_tm : kUnsetNumber;
  item->m_iDp2InTime = set.dispatcher2_in_tm ? info.dispatcher2_in_tm : kUnsetNumber;
  item->m_iDp2OutTime = set.dispatcher2_out_tm ? info.dispatcher2_out_tm : kUnsetNumber;
}

// Header-bound texts lose their line breaks; unset optional fields read as
// empty strings in the generated type.
void FillTexts(const spider::UrlInfoItem& info, tagURL_ITEM* item) {
  item->m_strCookie = RemoveReturn(info.cookie);
  item->m_strProxy = RemoveReturn(info.proxy_addr);
  item->m_strProxyName = RemoveReturn(info.proxy_name);
  item->m_strOpts = RemoveReturn(info.opt);
  item->m_strUserAgent = RemoveReturn(info.user_agent);
  item->m_strPostFields = RemoveReturn(info.postdata);
  item->m_strDataCatogory = info.data_category;
  item->m_strLogCatogory = info.log_category;
  item->m_strReferer = info.referer;
}

}  // namespace

bool Match(const char* purl) {
  if (purl == nullptr) return false;
  return strcasestr(purl, "&password=") != nullptr || strcasestr(purl, "?password=") != nullptr;
}

tagURL_ITEM* PullDataT::Format(const spider::UrlInfoItem& info, int id) {
  const time_t now = time(nullptr);
  int no = -1;
  bool used = false;
  void* slot = g_pUrlMem->Alloc(&no, used);
  if (slot == nullptr) {
    KLOG(kLogger, KPub::ERROR, "g_pUrlMem Alloc fail.");
    return nullptr;
  }
  tagURL_ITEM* item = used ? static_cast<tagURL_ITEM*>(slot) : new (slot) tagURL_ITEM();
  item->m_iCreateTime = static_cast<int>(now);
  item->m_iCurNo = no;
  item->m_iNext = -1;
  item->m_iPullFd = id;
  item->m_strHost.clear();
  item->m_strUrl = info.url;
  item->m_strDataType = info.data_type;
  item->m_bWaiting = false;
  item->m_ips.clear();
  FillNumbers(info, item);
  FillTexts(info, item);
  item->m_strUUid =
      info.__isset.uuid
          ? info.uuid
          : KPub::Md5Hex(info.url + m_host_name + std::to_string(TimeInMicroseconds()));
  if (!g_strStatCatogory.empty()) {
    KLOG(kAuditLogger, KPub::INFO, "\toutput\tscribe\t%s\t%s NOTICE:  %s\tcrawler_get:%d",
         g_strStatCatogory.c_str(), KPub::LocalTimeText(now).c_str(), item->m_strUrl.c_str(),
         static_cast<int>(now));
  }
  return item;
}

void PullDataT::ProcessData(const spider::ProvideDataResponse& result, int id) {
  for (const spider::UrlInfoItem& info : result.url_infos) {
    if (!g_bLoadThreadRun) break;
    tagURL_ITEM* item = Format(info, id);
    if (item != nullptr) QueueOrReject(item);
  }
}

void PullDataT::QueueOrReject(tagURL_ITEM* item) {
  const char* url = item->m_strUrl.c_str();
  if (Match(url)) {
    KLOG(kLogger, KPub::ERROR, "Match Bad Url, url=[%s]", url);
    FreeItem(item);
    return;
  }
  tagURL_PARSE parsed;
  parse_url(url, parsed);
  if (!HasHttpScheme(url) || parsed.m_hostname.empty()) {
    KLOG(kLogger, KPub::ERROR, "error url-format! url=[%s]", url);
    FreeItem(item);
    return;
  }
  if (item->m_strUrl.size() > kMaxIntakeUrlLength) {
    WriteCommonDnsFail(item, kUrlTooLongErrno);
    FreeItem(item);
    return;
  }
  // A number that cannot be queued would hold its slot for ever.
  if (!g_PendingList.AddTail(item->m_iCurNo)) FreeItem(item);
}
