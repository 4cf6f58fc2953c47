// Settings and shared steps of the follow-up decisions (redirects, jumps,
// SWF documents).
#include "FollowUp.h"

#include <strings.h>

#include "DnsParse.h"
#include "INIFile.h"
#include "IpLruQueue.h"
#include "swfstrings/SwfCompose.h"

// Deployment values; the sample configuration names them too.
std::string g_strSearchEngineDomain = ".baidu.com";
std::string g_strSearchEngineVerifyHost = "verify.baidu.com";
std::string g_strDocSiteHost = "wenku.baidu.com";

namespace {

const char kSection[] = "download";

void ReadText(INIFile& ini, const char* key, std::string& value) {
  const char* text = ini.read(kSection, key);
  if (text != nullptr) value = text;
}

}  // namespace

void ReadFollowUpSettings(INIFile& ini) {
  ReadText(ini, "search_engine_domain", g_strSearchEngineDomain);
  ReadText(ini, "search_engine_verify_host", g_strSearchEngineVerifyHost);
  ReadText(ini, "doc_site_host", g_strDocSiteHost);
  const char* base = ini.read(kSection, "doc_service_base");
  if (base != nullptr) SetBaiduDocServiceBase(base);
}

// An empty suffix is contained in every host; it switches the rule off
// instead of refusing every redirect to the verification host.
bool IsVerificationRedirect(const std::string& oldHost, const std::string& newHost) {
  if (g_strSearchEngineDomain.empty()) return false;
  return oldHost.find(g_strSearchEngineDomain) != std::string::npos &&
         newHost == g_strSearchEngineVerifyHost;
}

int FollowUpAddress(const std::string& host, int lastIp) {
  int ip = 0;
  if (g_IpLruQueue.Find(host, ip, lastIp)) return ip;
  tagIPLIST list;
  list.m_iCnt = 0;
  if (g_dnsparse.GetIP(host.c_str(), &list) == False || list.m_iCnt <= 0) {
    list.m_iCnt = 1;
    list.m_iIp[0] = 0;
  }
  g_IpLruQueue.Append(host, list);
  return list.m_iIp[0];
}

void ClearResponse(RetData* pData) {
  pData->m_strHtml.clear();
  pData->m_strHeader.clear();
  pData->m_lHttpRetCode = 0;
  pData->m_iCurlRetCode = 0;
  pData->m_iCurLen = 0;
  pData->m_iCurHeaderLen = 0;
  pData->m_dConnectTime = 0;
  pData->m_dDownLoadTime = 0;
}

bool IsHttpUrl(const std::string& url) {
  return strncasecmp(url.c_str(), "http://", 7) == 0 ||
         strncasecmp(url.c_str(), "https://", 8) == 0;
}
