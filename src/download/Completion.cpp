// End of a transfer. Until follow-ups are decided here, every finished
// transfer ends its item: the facts are read and the item is handed on.
#include "DownLoadThread.h"
#include "globals.h"
#include "kpub/klog.h"

void DownLoadThread::HandleMsg(CURLMsg* pMsg) {
  CURL* curl = pMsg->easy_handle;
  RetData* data = GetDoingData(curl);
  if (data == nullptr) {
    curl_multi_remove_handle(m_multi_curl, curl);
    return;
  }
  data->m_iCurlRetCode = static_cast<int>(pMsg->data.result);
  DeactiveCurl(curl, data);
  FillRetData(curl, data);
  FreeDowningRes(data->m_pstUrlItem, curl, false);
  --m_downloading_cnt;
}

void DownLoadThread::FreeDowningRes(tagURL_ITEM* pstUrlItem, void* pCurl, bool deactive) {
  if (pstUrlItem == nullptr) return;
  if (!g_DoneList.AddTail(pstUrlItem->m_iCurNo) &&
      !g_pUrlMem->FreeOneItem(static_cast<dword>(pstUrlItem->m_iCurNo))) {
    KLOG("search.download", KPub::ERROR, "FreeOneItem fail.");
  }
  if (pCurl != nullptr) MoveDoingCurl2Done(pCurl, deactive);
}
