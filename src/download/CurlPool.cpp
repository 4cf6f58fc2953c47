// Moves of easy handles between the idle and busy maps, and their
// attachment to the multi handle.
#include "DownLoadThread.h"
#include "url_util.h"

bool DownLoadThread::HasDoneCurl() { return !m_done_map.empty(); }

bool DownLoadThread::GetDoneCurl(void** pCurl, RetData** pData) {
  if (pCurl == nullptr || pData == nullptr || m_done_map.empty()) return false;
  std::map<void*, RetData*>::iterator first = m_done_map.begin();
  *pCurl = first->first;
  *pData = first->second;
  m_done_map.erase(first);
  return true;
}

bool DownLoadThread::Add2DoingCurl(void* pCurl, RetData* pData) {
  if (pCurl == nullptr || pData == nullptr) return false;
  m_doing_map[pCurl] = pData;
  return true;
}

bool DownLoadThread::ActiveCurl(void* pCurl, RetData* pData) {
  if (pCurl == nullptr) return false;
  if (curl_multi_add_handle(m_multi_curl, pCurl) != CURLM_OK) return false;
  if (pData != nullptr) pData->m_lDownLoadStartTime = TimeInMicroseconds();
  return true;
}

bool DownLoadThread::DeactiveCurl(void* pCurl, RetData* pData) {
  if (pCurl == nullptr) return false;
  curl_multi_remove_handle(m_multi_curl, pCurl);
  if (pData != nullptr) pData->m_lDownLoadEndTime = TimeInMicroseconds();
  return true;
}

RetData* DownLoadThread::GetDoingData(void* pCurl) {
  std::map<void*, RetData*>::iterator it = m_doing_map.find(pCurl);
  return it == m_doing_map.end() ? nullptr : it->second;
}

// Cookies collected for one item never reach the next item on this handle.
bool DownLoadThread::MoveDoingCurl2Done(void* pCurl, bool deactive) {
  if (pCurl == nullptr) return false;
  curl_easy_setopt(pCurl, CURLOPT_COOKIELIST, "ALL");
  std::map<void*, RetData*>::iterator it = m_doing_map.find(pCurl);
  if (it == m_doing_map.end()) return false;
  if (deactive) curl_multi_remove_handle(m_multi_curl, pCurl);
  m_done_map[pCurl] = it->second;
  m_doing_map.erase(it);
  return true;
}
