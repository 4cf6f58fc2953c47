#include "url_util.h"

#include <arpa/inet.h>
#include <stdio.h>
#include <strings.h>
#include <sys/time.h>

#include <set>

pcrecpp::RE g_parseurl(
    R"re((^.*?)://(?:([^/]*?):([^/]*?)@|)([^:/\?@$]*)(?::([^/$]*)|)(?:(/[^?$]*)|)(?:\?([^#$]*)|)(?:#([^$]*)|))re");
pcrecpp::RE g_replace(R"re(^\w+:)re");
pcrecpp::RE g_replace1(R"re(\r)re");
pcrecpp::RE g_replace2(R"re(\n)re");

void parse_url(const char* pszUrl, tagURL_PARSE& stUrl) {
  stUrl = tagURL_PARSE();
  if (pszUrl == nullptr) return;
  g_parseurl.PartialMatch(pszUrl, &stUrl.m_scheme, &stUrl.m_username, &stUrl.m_password,
                          &stUrl.m_hostname, &stUrl.m_port, &stUrl.m_path, &stUrl.m_query,
                          &stUrl.m_fragment);
}

namespace {

std::string Authority(const tagURL_PARSE& base) {
  std::string auth;
  if (!base.m_username.empty()) auth = base.m_username + ":" + base.m_password + "@";
  auth += base.m_hostname;
  if (!base.m_port.empty() && base.m_port != "80") auth += ":" + base.m_port;
  return auth;
}

bool IsAbsoluteHttp(const std::string& url) {
  return url.find("://") != std::string::npos && strncasecmp(url.c_str(), "http", 4) == 0;
}

}  // namespace

void make_abs_url(const char* pszBaseUrl, std::string& strUrl) {
  g_replace1.GlobalReplace("", &strUrl);
  g_replace2.GlobalReplace("", &strUrl);
  if (strUrl.empty() || IsAbsoluteHttp(strUrl)) return;
  g_replace.Replace("", &strUrl);

  tagURL_PARSE base;
  parse_url(pszBaseUrl, base);
  std::string result;
  if (strUrl.compare(0, 2, "//") == 0) {
    result = base.m_scheme + ":" + strUrl;
  } else if (strUrl.compare(0, 1, "/") == 0) {
    result = base.m_scheme + "://" + Authority(base) + strUrl;
  } else {
    std::string dir = base.m_path.empty() ? "/" : base.m_path;
    dir.erase(dir.rfind('/') + 1);
    result = base.m_scheme + "://" + Authority(base) + dir + strUrl;
  }
  strUrl = result;
  reurl(strUrl);
}

void reurl(std::string& strUrl) {
  if (strUrl.find("/../") == std::string::npos && strUrl.find("/./") == std::string::npos) return;
  size_t scheme = strUrl.find("://");
  if (scheme == std::string::npos) return;
  size_t path = strUrl.find('/', scheme + 3);
  if (path == std::string::npos) return;

  std::string out = strUrl.substr(0, path);
  size_t i = path;
  while (i < strUrl.size()) {
    if (strUrl.compare(i, 4, "/../") == 0) {
      i += 3;
      size_t slash = out.rfind('/');
      if (slash != std::string::npos && slash >= path) out.erase(slash);
    } else if (strUrl.compare(i, 3, "/./") == 0) {
      i += 2;
    } else {
      out += strUrl[i++];
    }
  }
  strUrl = out;
}

bool IsHomePage(std::string strQuery, std::string strPath) {
  static const std::set<std::string> kHomePaths = {
      "",            "/",            "/default.aspx", "/default.htm",  "/default.html",
      "/index.asp",  "/Index.asp",   "/index.aspx",   "/Index.aspx",   "/index.htm",
      "/Index.htm",  "/index.html",  "/Index.html",   "/index.jsp",    "/Index.jsp",
      "/index.php",  "/Index.php",   "/index.shtm",   "/Index.shtm",   "/index.shtml",
      "/Index.shtml"};
  return strQuery.empty() && kHomePaths.count(strPath) != 0;
}

bool StrIsIP(const char* pszDomain) {
  for (const char* p = pszDomain; *p != '\0'; ++p) {
    if ((*p < '0' || *p > '9') && *p != '.') return false;
  }
  return true;
}

int ip2int(const char* pszIP) {
  struct in_addr addr;
  if (inet_aton(pszIP, &addr) == 0) return -1;
  return static_cast<int>(addr.s_addr);
}

bool IsIntranetIP(const char* str) {
  if (str == nullptr) return false;
  int a, b, c, d;
  if (sscanf(str, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return false;
  for (int n : {a, b, c, d}) {
    if (n < 0 || n > 255) return false;
  }
  return a == 10 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168);
}

std::string RemoveReturn(std::string s) {
  for (char& c : s) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

unsigned long TimeInMicroseconds() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<unsigned long>(tv.tv_sec) * 1000000UL + static_cast<unsigned long>(tv.tv_usec);
}
