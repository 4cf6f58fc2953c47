// HTTP redirects: the Location target of a 3xx response, the rules that
// refuse it, and the next request on the same handle.
#include "Bool.h"
#include "DownLoadThread.h"
#include "FollowUp.h"
#include "kpub/kstring.h"
#include "url_util.h"

namespace {

// A deep URL sent to a home page is usually a soft error page; a permanent
// move or a robots fetch is followed anyway.
bool RefusedHomePageJump(const RetData* pData, const tagURL_PARSE& target) {
  if (pData->m_iRobotsFlag || pData->m_lHttpRetCode == kMovedPermanently) return false;
  tagURL_PARSE own;
  parse_url(pData->m_pstUrlItem->m_strUrl.c_str(), own);
  return !IsHomePage(own.m_query, own.m_path) && IsHomePage(target.m_query, target.m_path);
}

// The target host has no address: the item ends on this hop with errno -9.
void MarkNoAddress(RetData* pData, const char* target) {
  pData->m_iJumpNoIpUrlFlag = true;
  ++pData->m_lRedirectCount;
  ClearResponse(pData);
  strlcpy(pData->m_pszLastUrl, target, kUrlBufferSize);
  strlcpy(pData->m_pszEffectiveUrl, target, kUrlBufferSize);
}

}  // namespace

Bool DownLoadThread::ProcessRedirect(void* pCurl, RetData* pData) {
  if (pCurl == nullptr || pData == nullptr || pData->m_pstUrlItem == nullptr) return False;
  if (pData->m_lRedirectCount >= m_iMaxRedirectCount) return Nul;
  std::string location;
  if (!m_pMatchLocation->PartialMatch(pData->m_strHeader, &location)) return Nul;
  KPub::trim(location);
  make_abs_url(pData->m_pszLastUrl, location);
  if (location.empty() || !IsHttpUrl(location)) return Nul;
  char target[kUrlBufferSize];
  strlcpy(target, location.c_str(), sizeof target);

  tagURL_PARSE last;
  tagURL_PARSE next;
  parse_url(pData->m_pszLastUrl, last);
  parse_url(target, next);
  if (IsVerificationRedirect(last.m_hostname, next.m_hostname)) return Nul;
  if (RefusedHomePageJump(pData, next)) {
    pData->m_JumpHomePage_flag = true;
    return Nul;
  }
  if (next.m_hostname != last.m_hostname) {
    int ip = FollowUpAddress(next.m_hostname, pData->m_iLastIP);
    if (ip == 0) {
      MarkNoAddress(pData, target);
      return Nul;
    }
    pData->m_iLastIP = ip;
  }
  if (!InitDownloadOpt(pCurl, target, pData->m_iLastIP, true, target)) return Nul;
  ++pData->m_lRedirectCount;
  strlcpy(pData->m_pszLastUrl, target, kUrlBufferSize);
  return True;
}
