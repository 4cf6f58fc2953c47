// Host-name resolver: the DNS cache service first, then one configured DNS
// server asked with its own UDP query, or the system resolver when no server
// is configured. Thread-safety: GetIP holds m_Mutex for the whole look-up, so
// one instance (g_dnsparse) may be shared by all download threads; callers
// are served one at a time. Init runs once, before any GetIP.
#ifndef CRAWLER_DNSPARSE_H_
#define CRAWLER_DNSPARSE_H_

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <string>
#include <utility>
#include <vector>

#include "Bool.h"
#include "iplist.h"
#include "kpub/threadlock.h"

class INIFile;
namespace SINAN {
class hisinan;
}

class DnsParse {
 public:
  DnsParse();
  ~DnsParse();
  DnsParse(const DnsParse&) = delete;
  DnsParse& operator=(const DnsParse&) = delete;

  // Reads sections "sinan" and "dns" of the INI file. False when the file
  // cannot be read or the UDP socket / epoll instance cannot be made.
  bool Init(const char* pszConfig);
  // True: addresses from the DNS cache service; Nul: from a DNS server or
  // the system resolver; False: nothing found. On True and Nul the list
  // holds at least one address, possibly the single address 0.
  Bool GetIP(const char* pszDomain, tagIPLIST* pstIPList);
  // One query to one DNS server; str_ips gets each kept address in dotted
  // form followed by ";". tvp null waits without bound.
  bool GetHostByDnsServer(std::string host, sockaddr* to, int tolen, timeval* tvp,
                          tagIPLIST* pstIPList, std::string& str_ips);

 private:
  void InitSinan(const INIFile& ini);
  void AddDnsServers(const char* servers);
  bool AskSinan(const char* pszDomain, tagIPLIST* pstIPList);
  bool OpenDnsSocket();
  bool ExchangeDatagram(sockaddr* to, int tolen, timeval* tvp, int iQueryLen, int& iAnswerLen);

  char* m_pszSinanRes;   // the service's answer text, 1024 bytes
  int m_iSinanRetryCnt;  // 0: ask the service; else calls left in back-off
  int m_dns_fd;
  int m_dns_epoll_fd;
  std::vector<std::pair<std::string, sockaddr_in*> > m_vectorDnsInfo;  // owns the addresses
  unsigned int m_dns_port;
  char m_dns_package_buff[2048];
  SINAN::hisinan* m_pSinan;  // owned; null when the service is not used
  KPub::kMutex m_Mutex;      // serialises GetIP across threads
};

// Resolves through the system resolver (gethostbyname_r); an IP literal
// the resolver does not know resolves to itself.
bool GetHostByName(const char* pszDomain, tagIPLIST* pstIPList);

// The resolver shared by the download threads for follow-up hosts.
extern DnsParse g_dnsparse;

#endif  // CRAWLER_DNSPARSE_H_
