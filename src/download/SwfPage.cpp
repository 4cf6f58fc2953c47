// Document pages of the document-sharing site: their text lives in an SWF
// document that is fetched on the same handle after the page.
#include <pcrecpp.h>

#include "Bool.h"
#include "DnsParse.h"
#include "DownLoadThread.h"
#include "FollowUp.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "swfstrings/SwfCompose.h"
#include "url_util.h"

namespace {

const char kLogger[] = "search.download";
// Pages of the document the SWF document URL asks for.
constexpr int kSwfPageCount = 2;

}  // namespace

// Built from the configured host on first use, after the settings are read.
bool IsDocPageUrl(const std::string& url) {
  static const pcrecpp::RE page(
      "^http://" + pcrecpp::RE::QuoteMeta(g_strDocSiteHost) + "/view/[0-9a-z]+\\.html$",
      pcrecpp::RE_Options().set_caseless(true));
  return page.FullMatch(url);
}

Bool DownLoadThread::ProcessSwf(void* pCurl, RetData* pData) {
  if (pCurl == nullptr || pData == nullptr) return False;
  tagURL_PARSE pageUrl;
  parse_url(pData->m_pszLastUrl, pageUrl);
  if (pageUrl.m_hostname != g_strDocSiteHost) return Nul;
  if (IsDocPageUrl(pData->m_pszLastUrl)) {
    if (!ExtractSwfDownloadUrlFromBaidu(pData->m_strOriginHtml, pData->m_strSwfUrl,
                                        kSwfPageCount)) {
      KLOG(kLogger, KPub::ERROR, "url extract swf failed, url=[%s]", pData->m_pszLastUrl);
      return Nul;
    }
    pData->m_iSpecailFlag = 1;
  }
  if (pData->m_iSpecailFlag == 0) return Nul;
  char swfUrl[kUrlBufferSize];
  strlcpy(swfUrl, pData->m_strSwfUrl.c_str(), sizeof swfUrl);
  tagURL_PARSE swf;
  parse_url(swfUrl, swf);
  if (swf.m_hostname.empty()) {
    KLOG(kLogger, KPub::DEBUG, "swf url error. url=[%s], swf-url=[%s]", pData->m_pszLastUrl,
         swfUrl);
    return Nul;
  }
  if (swf.m_hostname != pageUrl.m_hostname) {
    tagIPLIST list;
    list.m_iCnt = 0;
    if (g_dnsparse.GetIP(swf.m_hostname.c_str(), &list) == False || list.m_iCnt <= 0) {
      KLOG(kLogger, KPub::INFO, "GetIP fail. domain=[%s]", swf.m_hostname.c_str());
      return Nul;
    }
    pData->m_iLastIP = list.m_iIp[0];
  }
  if (!InitDownloadOpt(pCurl, swfUrl, pData->m_iLastIP, true, swfUrl)) {
    KLOG(kLogger, KPub::INFO, "seturl fail. url=[%s]", swfUrl);
    return Nul;
  }
  return True;
}
