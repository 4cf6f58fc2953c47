// One URL's record in the item pool. Passed between threads by number; the
// thread holding the number is the only one touching the record.
#ifndef CRAWLER_URL_ITEM_H_
#define CRAWLER_URL_ITEM_H_

#include <string>
#include <vector>

struct tagURL_ITEM {
  int m_iCurNo;
  int m_iIP;
  int m_iIP1;
  int m_iCreateTime;
  int m_iDownLoadTime;
  int m_iDp1InTime;
  int m_iDp1OutTime;
  int m_iDp2InTime;
  int m_iDp2OutTime;
  int m_iNext;
  int m_iPullFd;
  std::string m_strUrl;
  std::string m_strDataType;
  char m_chResFlag;
  std::string m_strCookie;
  char m_chProxyType;
  std::string m_strProxy;
  std::string m_strProxyName;
  std::string m_strOpts;
  std::string m_strUserAgent;
  std::string m_strDataCatogory;
  std::string m_strLogCatogory;
  std::string m_strReferer;
  std::string m_strPostFields;
  std::string m_strHost;
  std::string m_strUUid;
  bool m_bWaiting;
  bool m_bIpNoReplace;
  std::vector<int> m_ips;
};

#endif  // CRAWLER_URL_ITEM_H_
