// The result record paired for life with one easy handle of a download
// thread: what the current item's requests sent and received. Owned by the
// download thread of its handle; never shared, never locked.
#ifndef CRAWLER_RETDATA_H_
#define CRAWLER_RETDATA_H_

#include <curl/curl.h>

#include <string>

#include "url_item.h"

// Size of each of the four URL buffers; at most 1023 characters are kept.
constexpr size_t kUrlBufferSize = 1024;

enum PROCESS_TYPE {
  PROCESS_COMMON = 1,
  PROCESS_REDIRECT = 2,
  PROCESS_METAJUMP = 3,
  PROCESS_METAJUMP_REDIRECT = 4,
  PROCESS_SWF = 5
};

// Where the judged charset came from (RetData::m_chCharSetType).
enum CHARSET_JUDE {
  CHARSET_HEADER = 1,
  CHARSET_META = 2,
  CHARSET_AUTO_OK = 3,
  CHARSET_AUTO_UNKONW = 4
};

struct RetData {
  RetData();
  ~RetData();
  RetData(const RetData&) = delete;
  RetData& operator=(const RetData&) = delete;

  // Prepares the record for a new item; false only when a buffer cannot be
  // allocated. m_strIP, m_chCharSetType, m_isXml and m_pstUrlItem are kept.
  bool Init();

  PROCESS_TYPE m_handling;
  std::string m_strHtml;
  std::string m_strHeader;
  char* m_pszEffectiveUrl;
  long m_lRedirectCount;
  long m_lHttpRetCode;
  int m_iCurlRetCode;
  int m_iCurLen;
  int m_iCurHeaderLen;
  double m_dConnectTime;
  double m_dDownLoadTime;
  unsigned long m_lDownLoadStartTime;
  unsigned long m_lDownLoadEndTime;
  int m_iSpecailFlag;
  bool m_iRobotsFlag;
  bool m_iCutHtmlFlag;
  bool m_JumpHomePage_flag;
  bool m_301Redi_flag;
  bool m_iRobotsBanUrlFlag;
  bool m_iJumpNoIpUrlFlag;
  bool m_bNeedJsFlag;
  bool m_bMetaJumpSameUrl;
  char* m_pszNewUrl;
  std::string m_strIP;
  char* m_pszLastUrl;
  char* m_pszOutPutUrl;
  int m_iLastIP;
  std::string m_strInterfaceIP;
  char m_chCharSetType;
  std::string m_str_o_charset;
  std::string m_strHeaderContent_Type;
  std::string m_strOriginHtml;
  std::string m_strSwfUrl;
  curl_slist* m_slist;
  curl_slist* m_clist;
  bool m_isXml;
  tagURL_ITEM* m_pstUrlItem;
  // Owned; the current request's pin as a connect-to entry, so that a kept
  // connection is reused only for the address it was made to.
  curl_slist* m_connectlist;
};

#endif  // CRAWLER_RETDATA_H_
