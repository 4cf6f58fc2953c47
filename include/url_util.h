// URL and address helpers: splitting with one compiled pattern, making links
// absolute, home-page and address tests. Stateless; the compiled patterns are
// process-wide and only read, so every function may be called from any thread.
#ifndef CRAWLER_URL_UTIL_H_
#define CRAWLER_URL_UTIL_H_

#include <pcrecpp.h>

#include <string>

struct tagURL_PARSE {
  std::string m_scheme;
  std::string m_username;
  std::string m_password;
  std::string m_hostname;
  std::string m_port;
  std::string m_path;
  std::string m_query;
  std::string m_fragment;
};

extern pcrecpp::RE g_parseurl;
extern pcrecpp::RE g_replace;
extern pcrecpp::RE g_replace1;
extern pcrecpp::RE g_replace2;

void parse_url(const char* pszUrl, tagURL_PARSE& stUrl);
void make_abs_url(const char* pszBaseUrl, std::string& strUrl);
void reurl(std::string& strUrl);
bool IsHomePage(std::string strQuery, std::string strPath);
bool StrIsIP(const char* pszDomain);
// Network byte order; 0xFFFFFFFF (-1) for text the address parser rejects.
int ip2int(const char* pszIP);
bool IsIntranetIP(const char* str);
std::string RemoveReturn(std::string s);
unsigned long TimeInMicroseconds();

#endif  // CRAWLER_URL_UTIL_H_
