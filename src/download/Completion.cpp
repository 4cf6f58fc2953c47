// End of a transfer: follow a redirect, a meta refresh, a script jump or an
// SWF document on the same handle, or write the item's records and hand it
// to the done queue. Runs on the handle's download thread.
#include <time.h>

#include "Bool.h"
#include "DownLoadThread.h"
#include "FollowUp.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "swfstrings/SwfCompose.h"
#include "swfstrings/SwfResult.h"

namespace {

const char kLogger[] = "search.download";
const char kAuditLogger[] = "search.download.common.audit";
const char kNoBodyType[] = "meta-search-nobody";
// libcurl's result when a callback refused data (screening or byte cap).
constexpr int kCurlWriteError = 23;

bool IsRedirect(long status) { return status >= 300 && status <= 399; }
bool IsSuccess(long status) { return status >= 200 && status <= 299; }
bool IsKeptStatus(long status) { return status >= 200 && status <= 399; }

bool IsNoBody(const RetData* pData) { return pData->m_pstUrlItem->m_strDataType == kNoBodyType; }

// A failed answer is kept only when it is a plain 3xx/4xx answer (not 408)
// that libcurl received without error.
bool DropsPage(const RetData* pData) {
  long status = pData->m_lHttpRetCode;
  if (IsSuccess(status)) return false;
  return status < 200 || status > 499 || status == 408 || pData->m_iCurlRetCode != 0;
}

}  // namespace

void DownLoadThread::HandleMsg(CURLMsg* pMsg) {
  CURL* curl = pMsg->easy_handle;
  RetData* data = GetDoingData(curl);
  if (data == nullptr || data->m_pstUrlItem == nullptr) {
    curl_multi_remove_handle(m_multi_curl, curl);
    return;
  }
  data->m_iCurlRetCode = static_cast<int>(pMsg->data.result);
  DeactiveCurl(curl, data);
  FillRetData(curl, data);
  JudgePageCharSet(data);
  std::string error;
  Completion step = FirstDecision(curl, data, error);
  if (step == kCaptured) step = AfterCapture(data);
  if (step == kJoinB) step = JoinB(curl, data);
  if (step == kJoinA) step = JoinA(curl, data);
  if (step == kRestarted) return;
  if (step == kJoinC) JoinC(data, error);
  JoinD(curl, data, error);
}

// The same handle and record serve the next hop; the item stays here.
DownLoadThread::Completion DownLoadThread::Restart(void* pCurl, RetData* pData, PROCESS_TYPE next) {
  pData->m_handling = next;
  return ActiveCurl(pCurl, pData) ? kRestarted : kJoinC;
}

DownLoadThread::Completion DownLoadThread::FirstDecision(void* pCurl, RetData* pData,
                                                         std::string& error) {
  long status = pData->m_lHttpRetCode;
  switch (pData->m_handling) {
    case PROCESS_METAJUMP:
    case PROCESS_METAJUMP_REDIRECT:
      if (IsRedirect(status) && ProcessRedirect(pCurl, pData) == True) {
        return Restart(pCurl, pData, PROCESS_METAJUMP_REDIRECT);
      }
      pData->m_strOriginHtml = pData->m_strHtml;
      return pData->m_bMetaJumpSameUrl ? kJoinA : kJoinB;
    case PROCESS_SWF:
      MergeSwfDocument(pData);
      return kJoinC;
    case PROCESS_REDIRECT:
      break;
    case PROCESS_COMMON:
    default:
      if (pData->m_iCurlRetCode == kCurlWriteError && pData->m_iCurHeaderLen == 0) {
        error = "Content Type is not download type";
        OutPutCommonData(pData);
        return kJoinD;
      }
      if (status == kMovedPermanently) pData->m_301Redi_flag = true;
      if (IsNoBody(pData)) return kCaptured;
      break;
  }
  if (IsRedirect(status) && ProcessRedirect(pCurl, pData) == True) {
    return Restart(pCurl, pData, PROCESS_REDIRECT);
  }
  return kCaptured;
}

// The SWF document's text goes into the document page; on any failure the
// page stays as it was.
void DownLoadThread::MergeSwfDocument(RetData* pData) {
  long status = pData->m_lHttpRetCode;
  if (!IsSuccess(status)) {
    KLOG(kLogger, KPub::ERROR, "swf url download fail. url=[%s], swf-url=[%s], httpcode=[%ld]",
         pData->m_pszLastUrl, pData->m_strSwfUrl.c_str(), status);
    return;
  }
  std::string page = pData->m_strOriginHtml;
  int rc = ComposePageWithSwfFromBaidu(pData->m_strHtml, page);
  if (rc != 0) {
    KLOG(kLogger, KPub::ERROR, "swf compose page fail. url=[%s], swf-url=[%s], errno=[%s]",
         pData->m_pszLastUrl, pData->m_strSwfUrl.c_str(), GetErrorMsg(rc));
    return;
  }
  pData->m_strOriginHtml.swap(page);
}

DownLoadThread::Completion DownLoadThread::AfterCapture(RetData* pData) {
  pData->m_strOriginHtml = pData->m_strHtml;
  bool searched = IsKeptStatus(pData->m_lHttpRetCode) && !pData->m_iRobotsBanUrlFlag &&
                  !pData->m_isXml && !IsNoBody(pData);
  return searched ? kJoinB : kJoinA;
}

DownLoadThread::Completion DownLoadThread::JoinB(void* pCurl, RetData* pData) {
  if (ProcessMetaJump(pCurl, pData) == True) return Restart(pCurl, pData, PROCESS_METAJUMP);
  if (!pData->m_bNeedJsFlag) return kJoinA;
  if (!pData->m_iRobotsFlag) MarkRedownload(pData);
  return kJoinC;
}

// A page that needs scripts is written without its content, for a
// downloader that runs them.
void DownLoadThread::MarkRedownload(RetData* pData) {
  ++pData->m_lRedirectCount;
  ClearResponse(pData);
  KLOG(kAuditLogger, KPub::INFO, "\tredownload\t%s\t%s", KPub::LocalTimeText(time(nullptr)).c_str(),
       DumpUrl(pData->m_pstUrlItem).c_str());
}

DownLoadThread::Completion DownLoadThread::JoinA(void* pCurl, RetData* pData) {
  if (pData->m_lRedirectCount > 0) {
    strlcpy(pData->m_pszOutPutUrl, pData->m_pszLastUrl, kUrlBufferSize);
  }
  if (IsKeptStatus(pData->m_lHttpRetCode) && pData->m_iCurlRetCode == 0 &&
      ProcessSwf(pCurl, pData) == True) {
    return Restart(pCurl, pData, PROCESS_SWF);
  }
  return kJoinC;
}

void DownLoadThread::JoinC(RetData* pData, std::string& error) {
  if (DropsPage(pData)) pData->m_strOriginHtml.clear();
  if (!OutPutPageData(pData)) error = "OutPutPageData fail";
}

void DownLoadThread::JoinD(void* pCurl, RetData* pData, const std::string& error) {
  if (!error.empty()) {
    KLOG(kLogger, KPub::ERROR, "%s. url=[%s]", error.c_str(),
         pData->m_pstUrlItem->m_strUrl.c_str());
  }
  FreeDowningRes(pData->m_pstUrlItem, pCurl, false);
  --m_downloading_cnt;
}

void DownLoadThread::FreeDowningRes(tagURL_ITEM* pstUrlItem, void* pCurl, bool deactive) {
  if (pstUrlItem == nullptr) return;
  if (!g_DoneList.AddTail(pstUrlItem->m_iCurNo) &&
      !g_pUrlMem->FreeOneItem(static_cast<dword>(pstUrlItem->m_iCurNo))) {
    KLOG(kLogger, KPub::ERROR, "FreeOneItem fail.");
  }
  if (pCurl != nullptr) MoveDoingCurl2Done(pCurl, deactive);
}
