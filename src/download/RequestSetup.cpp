// What every request of a handle carries: the options set once per handle,
// the per-request set-up, and the transfer facts read back afterwards.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <strings.h>

#include "DownLoadThread.h"
#include "EasyCallbacks.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "url_util.h"

namespace {

const char kLogger[] = "search.download";
const char kNoBodyType[] = "meta-search-nobody";
constexpr long kHttpPort = 80;
constexpr long kHttpsPort = 443;
constexpr char kSocksProxyType = 1;

// Applies options in order until libcurl refuses one; `rc` keeps that code.
class OptionSetter {
 public:
  explicit OptionSetter(void* curl) : m_curl(curl), m_rc(CURLE_OK) {}
  template <class T>
  OptionSetter& operator()(CURLoption option, T value) {
    if (m_rc == CURLE_OK) m_rc = curl_easy_setopt(m_curl, option, value);
    return *this;
  }
  // A failure that is not libcurl's (a list that cannot grow).
  void Fail() { m_rc = CURLE_OUT_OF_MEMORY; }
  bool ok() const { return m_rc == CURLE_OK; }
  CURLcode rc() const { return m_rc; }

 private:
  void* m_curl;
  CURLcode m_rc;
};

bool AppendLine(curl_slist*& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list, line.c_str());
  if (grown == nullptr) return false;
  list = grown;
  return true;
}

bool Finish(const OptionSetter& set) {
  if (!set.ok()) KLOG(kLogger, KPub::ERROR, "curl_easy_setopt fail");
  return set.ok();
}

// The URL as requested: user, password and fragment dropped.
std::string RequestUrl(const tagURL_PARSE& url) {
  std::string out = url.m_scheme + "://" + url.m_hostname;
  if (!url.m_port.empty()) out += ":" + url.m_port;
  out += url.m_path;
  if (!url.m_query.empty()) out += "?" + url.m_query;
  return out;
}

long RequestPort(const tagURL_PARSE& url) {
  if (!url.m_port.empty()) return atol(url.m_port.c_str());
  return strncasecmp(url.m_scheme.c_str(), "https", 5) == 0 ? kHttpsPort : kHttpPort;
}

// The pin alone updates libcurl's name cache, but a kept-alive connection
// to the host and port is matched by name and would still be reused after a
// new address was pinned. A connect-to entry makes the address part of the
// match. Through an HTTP proxy it would turn the tunnel target into the
// address, so it is left out there, as for unpinned requests.
bool SetConnectTo(RetData* pData, const std::string& entry) {
  curl_slist_free_all(pData->m_connectlist);
  pData->m_connectlist = nullptr;
  const tagURL_ITEM* item = pData->m_pstUrlItem;
  bool httpProxy = !item->m_strProxy.empty() && item->m_chProxyType != kSocksProxyType;
  if (item->m_bIpNoReplace || httpProxy) return true;
  return AppendLine(pData->m_connectlist, entry);
}

}  // namespace

bool DownLoadThread::SetEasyOpt(void* pCurl, RetData* pData) {
  OptionSetter set(pCurl);
  set(CURLOPT_NOPROGRESS, 1L)(CURLOPT_VERBOSE, 0L)(CURLOPT_NOSIGNAL, 1L)(CURLOPT_MAXCONNECTS, 1L);
  set(CURLOPT_TIMEOUT, static_cast<long>(m_iEasyTimeOut));
  set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_iConnectTimeOut));
  set(CURLOPT_WRITEFUNCTION, curl_write)(CURLOPT_SOCKOPTFUNCTION, sockopt_callback);
  set(CURLOPT_SOCKOPTDATA, &g_iReuseaddr);
  set(CURLOPT_SSL_VERIFYPEER, 0L)(CURLOPT_SSL_VERIFYHOST, 0L);
  set(CURLOPT_WRITEDATA, pData)(CURLOPT_HEADERFUNCTION, curl_write_header);
  set(CURLOPT_HEADERDATA, pData)(CURLOPT_COOKIEFILE, "");
  if (!set.ok()) {
    KLOG(kLogger, KPub::ERROR, "curl_easy_setopt fail. error message: [%s]",
         curl_easy_strerror(set.rc()));
  }
  return set.ok();
}

bool DownLoadThread::InitDownloadOpt(void* pCurl, char* pszDurl, int iIP, bool set_proxy_cookie,
                                     char* pszSurl) {
  if (pCurl == nullptr || pszDurl == nullptr) return false;
  RetData* data = GetDoingData(pCurl);
  if (data == nullptr || data->m_pstUrlItem == nullptr) return false;
  if (data->m_pstUrlItem->m_bIpNoReplace) iIP = -1;
  struct in_addr addr;
  addr.s_addr = static_cast<in_addr_t>(iIP);
  char dotted[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &addr, dotted, sizeof dotted) == nullptr) {
    KLOG(kLogger, KPub::ERROR, "inet_ntop fail. ip=[%d]", iIP);
    return false;
  }
  data->m_strHtml.clear();
  data->m_strHeader.clear();
  data->m_iCurLen = 0;
  data->m_iCurHeaderLen = 0;
  if (!SetLocalAddress(pCurl, data) || !SetRequestTarget(pCurl, data, pszDurl, dotted)) {
    return false;
  }
  return !set_proxy_cookie || SetProxyCookie(pCurl, data, pszSurl);
}

// The address chosen for an item's first request is kept for all its hops.
bool DownLoadThread::SetLocalAddress(void* pCurl, RetData* pData) {
  if (pData->m_strInterfaceIP.empty() && m_iIpNum > 0) {
    unsigned int turn = static_cast<unsigned int>(__sync_fetch_and_add(&g_iIpId, 1));
    pData->m_strInterfaceIP = m_vectorIps[turn % static_cast<unsigned int>(m_iIpNum)];
  } else if (pData->m_strInterfaceIP.empty()) {
    return true;
  }
  OptionSetter set(pCurl);
  set(CURLOPT_INTERFACE, pData->m_strInterfaceIP.c_str());
  return Finish(set);
}

bool DownLoadThread::SetRequestTarget(void* pCurl, RetData* pData, const char* pszDurl,
                                      const std::string& strIP) {
  tagURL_ITEM* item = pData->m_pstUrlItem;
  tagURL_PARSE url;
  parse_url(pszDurl, url);
  if (strncasecmp(url.m_scheme.c_str(), "http", 4) != 0) {
    KLOG(kLogger, KPub::INFO, "error url-format! url=[%s]", pszDurl);
    return false;
  }
  long port = RequestPort(url);
  std::string portText = std::to_string(port);
  OptionSetter set(pCurl);
  set(CURLOPT_PORT, port);
  strlcpy(pData->m_pszNewUrl, item->m_bIpNoReplace ? pszDurl : RequestUrl(url).c_str(),
          kUrlBufferSize);
  pData->m_strIP = strIP;
  set(CURLOPT_REFERER, item->m_strReferer.empty() ? pszDurl : item->m_strReferer.c_str());
  if (!item->m_strPostFields.empty()) {
    set(CURLOPT_POST, 1L)(CURLOPT_POSTFIELDS, item->m_strPostFields.c_str());
  } else {
    set(CURLOPT_POST, 0L);
  }
  set(CURLOPT_URL, pData->m_pszNewUrl);
  curl_slist_free_all(pData->m_slist);
  pData->m_slist = nullptr;
  const std::string lines[] = {"Accept: */*", "Accept-Language: zh-CN", "Connection: Keep-Alive",
                               "Host: " + url.m_hostname};
  for (const std::string& line : lines) {
    if (!AppendLine(pData->m_slist, line)) set.Fail();
  }
  if (!item->m_bIpNoReplace) {
    if (!AppendLine(pData->m_clist, url.m_hostname + ":" + portText + ":" + strIP)) set.Fail();
    set(CURLOPT_RESOLVE, pData->m_clist);
  }
  if (!SetConnectTo(pData, url.m_hostname + ":" + portText + ":" + strIP + ":")) set.Fail();
  set(CURLOPT_CONNECT_TO, pData->m_connectlist);
  const char* agent = item->m_strUserAgent.empty() ? m_szAgent : item->m_strUserAgent.c_str();
  if (!AppendLine(pData->m_slist, agent)) set.Fail();
  set(CURLOPT_HTTPHEADER, pData->m_slist);
  set(CURLOPT_ACCEPT_ENCODING, hostencode.match(url.m_hostname) ? "identity" : "");
  set(CURLOPT_NOBODY, item->m_strDataType == kNoBodyType ? 1L : 0L);
  return Finish(set);
}

bool DownLoadThread::SetProxyCookie(void* pCurl, RetData* pData, char* pszSurl) {
  tagURL_ITEM* item = pData->m_pstUrlItem;
  OptionSetter set(pCurl);
  // An empty text would go out as an empty Cookie header; no value sends none.
  set(CURLOPT_COOKIE, item->m_strCookie.empty() ? nullptr : item->m_strCookie.c_str());
  if (item->m_strProxy.empty()) {
    set(CURLOPT_PROXY, "")(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    return Finish(set);
  }
  set(CURLOPT_PROXY, item->m_strProxy.c_str());
  if (item->m_chProxyType == kSocksProxyType) {
    set(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_SOCKS5));
    return Finish(set);
  }
  set(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
  if (pszSurl == nullptr) set.Fail();
  set(CURLOPT_URL, pszSurl);
  return Finish(set);
}

bool DownLoadThread::FillRetData(void* pCurl, RetData* pData) {
  if (pCurl == nullptr || pData == nullptr) return false;
  CURLcode rc = curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &pData->m_lHttpRetCode);
  if (rc != CURLE_OK) {
    KLOG(kLogger, KPub::ERROR, "error message:[%s]", curl_easy_strerror(rc));
    pData->m_lHttpRetCode = 0;
  }
  char* effective = nullptr;
  rc = curl_easy_getinfo(pCurl, CURLINFO_EFFECTIVE_URL, &effective);
  if (rc != CURLE_OK || effective == nullptr) {
    if (rc != CURLE_OK) KLOG(kLogger, KPub::ERROR, "error message:[%s]", curl_easy_strerror(rc));
    effective = const_cast<char*>("");
  }
  strlcpy(pData->m_pszEffectiveUrl, effective, kUrlBufferSize);
  const struct {
    CURLINFO info;
    double* field;
  } times[] = {{CURLINFO_CONNECT_TIME, &pData->m_dConnectTime},
               {CURLINFO_TOTAL_TIME, &pData->m_dDownLoadTime}};
  for (const auto& t : times) {
    rc = curl_easy_getinfo(pCurl, t.info, t.field);
    if (rc == CURLE_OK) continue;
    KLOG(kLogger, KPub::ERROR, "error message:[%s]", curl_easy_strerror(rc));
    *t.field = 0;
  }
  return true;
}
