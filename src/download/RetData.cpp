#include "RetData.h"

#include <new>

namespace {

// Allocates a URL buffer once; it is kept for the record's life.
bool EnsureUrlBuffer(char*& buf) {
  if (buf == nullptr) buf = new (std::nothrow) char[kUrlBufferSize];
  if (buf == nullptr) return false;
  buf[0] = '\0';
  return true;
}

void FreeList(curl_slist*& list) {
  curl_slist_free_all(list);
  list = nullptr;
}

}  // namespace

RetData::RetData()
    : m_handling(PROCESS_COMMON),
      m_pszEffectiveUrl(nullptr),
      m_lRedirectCount(0),
      m_lHttpRetCode(0),
      m_iCurlRetCode(0),
      m_iCurLen(0),
      m_iCurHeaderLen(0),
      m_dConnectTime(0),
      m_dDownLoadTime(0),
      m_lDownLoadStartTime(0),
      m_lDownLoadEndTime(0),
      m_iSpecailFlag(0),
      m_iRobotsFlag(false),
      m_iCutHtmlFlag(false),
      m_JumpHomePage_flag(false),
      m_301Redi_flag(false),
      m_iRobotsBanUrlFlag(false),
      m_iJumpNoIpUrlFlag(false),
      m_bNeedJsFlag(false),
      m_bMetaJumpSameUrl(false),
      m_pszNewUrl(nullptr),
      m_pszLastUrl(nullptr),
      m_pszOutPutUrl(nullptr),
      m_iLastIP(-1),
      m_chCharSetType(0),
      m_slist(nullptr),
      m_clist(nullptr),
      m_isXml(false),
      m_pstUrlItem(nullptr),
      m_connectlist(nullptr) {}

RetData::~RetData() {
  delete[] m_pszEffectiveUrl;
  delete[] m_pszNewUrl;
  delete[] m_pszLastUrl;
  delete[] m_pszOutPutUrl;
  FreeList(m_slist);
  FreeList(m_clist);
  FreeList(m_connectlist);
}

bool RetData::Init() {
  m_handling = PROCESS_COMMON;
  m_strHtml.clear();
  m_strHeader.clear();
  m_strInterfaceIP.clear();
  m_str_o_charset.clear();
  m_strHeaderContent_Type.clear();
  m_strOriginHtml.clear();
  m_strSwfUrl.clear();
  m_lRedirectCount = m_lHttpRetCode = 0;
  m_iCurlRetCode = m_iCurLen = m_iCurHeaderLen = m_iSpecailFlag = 0;
  m_dConnectTime = m_dDownLoadTime = 0;
  m_lDownLoadStartTime = m_lDownLoadEndTime = 0;
  m_iRobotsFlag = m_iCutHtmlFlag = m_JumpHomePage_flag = m_301Redi_flag = false;
  m_iRobotsBanUrlFlag = m_iJumpNoIpUrlFlag = m_bNeedJsFlag = m_bMetaJumpSameUrl = false;
  m_iLastIP = -1;
  FreeList(m_slist);
  FreeList(m_clist);
  FreeList(m_connectlist);
  return EnsureUrlBuffer(m_pszEffectiveUrl) && EnsureUrlBuffer(m_pszNewUrl) &&
         EnsureUrlBuffer(m_pszLastUrl) && EnsureUrlBuffer(m_pszOutPutUrl);
}
