#include "DnsParse.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <string.h>
#include <sys/epoll.h>
#include <time.h>
#include <unistd.h>

#include "DnsPacket.h"
#include "INIFile.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "sinan/connect.h"
#include "sinan/hisinan.h"
#include "url_util.h"

// One instance behind a lock rather than one per download thread: follow-up
// look-ups are rare next to transfers, and one socket keeps the cache
// service connection count at one per instance.
DnsParse g_dnsparse;

namespace {

const char* const kLogger = "search.download";
constexpr int kSinanResSize = 1024;
constexpr unsigned int kSinanTimeoutSec = 10;
constexpr int kSinanBackoffCalls = 8192;
constexpr unsigned int kDefaultDnsPort = 53;
constexpr int kDnsWaitSec = 3;
constexpr char kSinanSeparator = '\t';
constexpr size_t kHostEntWorkMax = 64 * 1024;

// Fills the list from the service's answer text: dotted addresses separated
// by TAB, or "0" for a host known not to resolve. Empty and unparsable
// fields name no address and are skipped.
void ParseSinanAnswer(const char* text, tagIPLIST* pstIPList) {
  pstIPList->m_iCnt = 0;
  const char* field = text;
  while (pstIPList->m_iCnt < kIpListMax) {
    const char* end = strchr(field, kSinanSeparator);
    std::string ip = end ? std::string(field, end - field) : std::string(field);
    if (ip == "0") {
      pstIPList->m_iCnt = 1;
      pstIPList->m_iIp[0] = 0;
      return;
    }
    int addr = ip.empty() ? -1 : ip2int(ip.c_str());
    if (addr != -1) pstIPList->m_iIp[pstIPList->m_iCnt++] = addr;
    if (end == nullptr) return;
    field = end + 1;
  }
}

bool OpenUdpSocket(int& fd) {
  fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  int on = 1;
  int flags = fcntl(fd, F_GETFL, 0);
  return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 && flags >= 0 &&
         fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

DnsParse::DnsParse()
    : m_pszSinanRes(nullptr),
      m_iSinanRetryCnt(0),
      m_dns_fd(-1),
      m_dns_epoll_fd(-1),
      m_dns_port(kDefaultDnsPort),
      m_pSinan(nullptr) {}

// The socket and the epoll instance are closed too: tests and tools make
// and drop instances, the process never does.
DnsParse::~DnsParse() {
  delete[] m_pszSinanRes;
  delete m_pSinan;
  for (auto& server : m_vectorDnsInfo) delete server.second;
  if (m_dns_fd != -1) close(m_dns_fd);
  if (m_dns_epoll_fd != -1) close(m_dns_epoll_fd);
}

bool DnsParse::OpenDnsSocket() {
  if (OpenUdpSocket(m_dns_fd)) return true;
  if (m_dns_fd != -1) close(m_dns_fd);
  m_dns_fd = -1;
  return false;
}

bool DnsParse::Init(const char* pszConfig) {
  if (m_pszSinanRes == nullptr) m_pszSinanRes = new (std::nothrow) char[kSinanResSize];
  if (m_pszSinanRes == nullptr) return false;
  m_pszSinanRes[0] = '\0';
  m_iSinanRetryCnt = 0;
  INIFile ini;
  if (pszConfig == nullptr || ini.init(pszConfig) != 0) {
    KLOG(kLogger, KPub::ERROR, "INIFile init fail. config-file is : %s",
         pszConfig ? pszConfig : "");
    return false;
  }
  InitSinan(ini);
  m_dns_fd = -1;
  m_dns_epoll_fd = -1;
  const char* dnsPort = ini.read("dns", "dns_port");
  m_dns_port = dnsPort ? atoi(dnsPort) : kDefaultDnsPort;
  const char* servers = ini.read("dns", "dns_server");
  if (servers == nullptr) return true;
  AddDnsServers(servers);
  if (m_vectorDnsInfo.empty()) return true;
  m_dns_epoll_fd = epoll_create(1);
  return m_dns_epoll_fd >= 0 && OpenDnsSocket();
}

// A service that cannot be reached now is not used for the life of the
// instance.
void DnsParse::InitSinan(const INIFile& ini) {
  const char* server = ini.read("sinan", "sinan_server");
  const char* port = ini.read("sinan", "sinan_port");
  if (server == nullptr || port == nullptr || atoi(port) == 0) return;
  m_pSinan = new SINAN::hisinan(SINAN::SINAN_SID_R);
  if (!m_pSinan->Init(server, atoi(port), kSinanTimeoutSec)) {
    delete m_pSinan;
    m_pSinan = nullptr;
  }
}

// Servers whose name does not resolve now are left out.
void DnsParse::AddDnsServers(const char* servers) {
  std::vector<std::string> fields;
  // A single server has no ";" and is then the whole value.
  if (KPub::split(servers, ";", fields) == 0) fields.push_back(servers);
  for (const std::string& field : fields) {
    in_addr addr;
    if (field.empty() || !SINAN::LookupIPv4(field.c_str(), &addr)) continue;
    sockaddr_in* to = new sockaddr_in;
    memset(to, 0, sizeof(*to));
    to->sin_family = AF_INET;
    to->sin_addr = addr;
    to->sin_port = htons(static_cast<uint16_t>(m_dns_port));
    m_vectorDnsInfo.push_back(std::make_pair(field, to));
  }
}

// True when the service named at least one address for the host.
bool DnsParse::AskSinan(const char* pszDomain, tagIPLIST* pstIPList) {
  if (m_iSinanRetryCnt != 0) {
    if (++m_iSinanRetryCnt > kSinanBackoffCalls) m_iSinanRetryCnt = 0;
    return false;
  }
  switch (m_pSinan->GetIP(pszDomain, m_pszSinanRes, kSinanResSize)) {
    case SINAN::IP_OK:
    case SINAN::IP_EXPIRED:
      ParseSinanAnswer(m_pszSinanRes, pstIPList);
      return pstIPList->m_iCnt > 0;
    case SINAN::SINAN_ERR:
      m_iSinanRetryCnt = 1;
      return false;
    case SINAN::IP_NONE:
      return false;
  }
  return false;
}

Bool DnsParse::GetIP(const char* pszDomain, tagIPLIST* pstIPList) {
  if (pszDomain == nullptr || pszDomain[0] == '\0') {
    KLOG(kLogger, KPub::DEBUG, "domain is null");
    return False;
  }
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  pstIPList->m_iCnt = 0;
  if (m_pSinan != nullptr && AskSinan(pszDomain, pstIPList)) return True;
  if (m_vectorDnsInfo.empty()) return GetHostByName(pszDomain, pstIPList) ? Nul : False;
  const auto& server = m_vectorDnsInfo[time(nullptr) % m_vectorDnsInfo.size()];
  timeval wait = {kDnsWaitSec, 0};
  std::string ips;
  if (!GetHostByDnsServer(pszDomain, reinterpret_cast<sockaddr*>(server.second),
                          sizeof(sockaddr_in), &wait, pstIPList, ips)) {
    return False;
  }
  KLOG(kLogger, KPub::INFO, "GetHostByDnsServer Success. Host:%s, Dns Server:%s, Ip:%s", pszDomain,
       server.first.c_str(), ips.c_str());
  return Nul;
}

bool DnsParse::GetHostByDnsServer(std::string host, sockaddr* to, int tolen, timeval* tvp,
                                  tagIPLIST* pstIPList, std::string& str_ips) {
  if (m_dns_fd < 0 || m_dns_epoll_fd < 0 || host.empty() || to == nullptr || tolen <= 0 ||
      pstIPList == nullptr) {
    return false;
  }
  pstIPList->m_iCnt = 0;
  uint16_t id = static_cast<uint16_t>(time(nullptr) & 0xFFFF);
  int iQueryLen = BuildDnsQuery(host, id, m_dns_package_buff, sizeof(m_dns_package_buff));
  int iAnswerLen = 0;
  if (iQueryLen < 0 || !ExchangeDatagram(to, tolen, tvp, iQueryLen, iAnswerLen)) return false;
  return ParseDnsAnswer(reinterpret_cast<const unsigned char*>(m_dns_package_buff), iAnswerLen, id,
                        host, pstIPList, str_ips);
}

// Sends the query held in the buffer and reads the answer into it. After a
// wait without an answer the socket is replaced, so that a late answer to
// this query is never read as the answer to the next one.
bool DnsParse::ExchangeDatagram(sockaddr* to, int tolen, timeval* tvp, int iQueryLen,
                                int& iAnswerLen) {
  for (int sent = 0; sent < iQueryLen;) {
    ssize_t n = sendto(m_dns_fd, m_dns_package_buff + sent, iQueryLen - sent, 0, to, tolen);
    if (n < 0) return false;
    sent += static_cast<int>(n);
  }
  epoll_event ev;
  memset(&ev, 0, sizeof(ev));
  ev.events = EPOLLIN;
  ev.data.fd = m_dns_fd;
  if (epoll_ctl(m_dns_epoll_fd, EPOLL_CTL_ADD, m_dns_fd, &ev) != 0) return false;
  int ms = tvp ? static_cast<int>(tvp->tv_sec * 1000 + tvp->tv_usec / 1000) : -1;
  epoll_event got;
  int ready = epoll_wait(m_dns_epoll_fd, &got, 1, ms);
  epoll_ctl(m_dns_epoll_fd, EPOLL_CTL_DEL, m_dns_fd, &ev);
  if (ready == 1 && got.data.fd == m_dns_fd && (got.events & EPOLLIN)) {
    memset(m_dns_package_buff, 0, sizeof(m_dns_package_buff));
    ssize_t n =
        recvfrom(m_dns_fd, m_dns_package_buff, sizeof(m_dns_package_buff), 0, nullptr, nullptr);
    if (n < 0) return false;
    iAnswerLen = static_cast<int>(n);
    return true;
  }
  if (ready != 1) {
    close(m_dns_fd);
    OpenDnsSocket();
  }
  return false;
}

bool GetHostByName(const char* pszDomain, tagIPLIST* pstIPList) {
  pstIPList->m_iCnt = 0;
  if (pszDomain == nullptr || pszDomain[0] == '\0') {
    KLOG(kLogger, KPub::INFO, "hostname is null");
    return false;
  }
  hostent entry;
  hostent* result = nullptr;
  int herr = 0;
  // Hosts with many addresses or aliases need more than the first 1024
  // bytes of work space; the look-up is repeated with a larger one.
  std::vector<char> work(1024);
  while (gethostbyname_r(pszDomain, &entry, work.data(), work.size(), &result, &herr) == ERANGE &&
         work.size() < kHostEntWorkMax) {
    work.resize(work.size() * 2);
  }
  if (result != nullptr && result->h_addrtype == AF_INET) {
    for (int i = 0; result->h_addr_list[i] != nullptr && pstIPList->m_iCnt < kIpListMax; ++i) {
      int addr;
      memcpy(&addr, result->h_addr_list[i], sizeof(addr));
      if (addr == 0) return false;
      pstIPList->m_iIp[pstIPList->m_iCnt++] = addr;
    }
    return pstIPList->m_iCnt > 0;
  }
  // Digits and dots the address parser rejects ("1.2.3.999") name no host.
  int addr = StrIsIP(pszDomain) ? ip2int(pszDomain) : -1;
  if (addr == -1) return false;
  pstIPList->m_iIp[pstIPList->m_iCnt++] = addr;
  return true;
}
