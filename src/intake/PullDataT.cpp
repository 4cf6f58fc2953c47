#include "PullDataT.h"

#include <unistd.h>

#include <exception>

#include "globals.h"
#include "kpub/klog.h"
#include "required_key.h"
#include "url_util.h"

PullDataT* g_pPullDataT = nullptr;

namespace {

const char kLogger[] = "search.download";

// Pool time-outs in milliseconds: connect, send, receive.
constexpr int kConnectTimeoutMs = 1000;
constexpr int kSendTimeoutMs = 1000;
constexpr int kRecvTimeoutMs = 50000;

constexpr useconds_t kIdleSleepUs = 500000;
constexpr unsigned long kNoDataBackOffUs = 2000000;
constexpr unsigned long kOtherBackOffUs = 1000000;
constexpr double kQuotaFactor = 1.5;

struct RequiredKey {
  const char* key;
  std::string PullDataT::*member;
};

}  // namespace

int IntakeQuota(int iThreads, int iInFlight, unsigned long ulPending, unsigned long ulWaiting) {
  const double slots = static_cast<double>(iThreads) * kParallelPerThread * kQuotaFactor;
  if (static_cast<double>(ulWaiting) >= slots) return 0;
  return static_cast<int>(slots - iInFlight - static_cast<double>(ulPending));
}

PullDataT::PullDataT()
    : Thread("", 0),
      m_curr_id(0),
      m_clients_wrapper(kConnectTimeoutMs, kSendTimeoutMs, kRecvTimeoutMs) {
  memset(m_host_name, 0, sizeof(m_host_name));
}

bool PullDataT::Init(const char* pszConfig) {
  int rc = pszConfig == nullptr ? spider::IRT_FAIL_FOR_OTHER : m_clients_wrapper.Init(pszConfig);
  if (rc != spider::IRT_OK && rc != spider::IRT_FAIL_FOR_DOMAIN_DICT) {
    KLOG(kLogger, KPub::ERROR, "Dispatcher2ClientsWrapper Init Faild.");
    return false;
  }
  INIFile ini;
  if (ini.init(pszConfig) != 0) {
    KLOG(kLogger, KPub::ERROR, "INIFile init fail. config-file is : %s", pszConfig);
    return false;
  }
  if (!GetParameter(ini)) {
    KLOG(kLogger, KPub::ERROR, "GetParameter fail.");
    return false;
  }
  if (gethostname(m_host_name, sizeof(m_host_name) - 1) != 0) {
    KLOG(kLogger, KPub::ERROR, "GetHostName fail.");
    return false;
  }
  return true;
}

// A missing dns_type is sent as an empty text: the dispatchers treat the
// resolver kind as informative, so it is not worth refusing to start.
bool PullDataT::GetParameter(INIFile& ini) {
  static const RequiredKey kRequired[] = {
      {"crawler_clus", &PullDataT::m_crawler_clus},
      {"crawler_name", &PullDataT::m_crawler_name},
  };
  try {
    for (const RequiredKey& r : kRequired) this->*r.member = ReadRequired(ini, "crawler", r.key);
  } catch (const std::exception&) {
    return false;
  }
  const char* dns_type = ini.read("crawler", "dns_type");
  m_dns_type = dns_type != nullptr ? dns_type : "";
  return true;
}

void PullDataT::run() {
  while (g_bLoadThreadRun) {
    FeedBack();
    PullOnce();
  }
  KLOG(kLogger, KPub::INFO, "crawler exit");
}

void PullDataT::PullOnce() {
  int inflight = 0;
  DownLoadingCount(inflight);
  const int quota =
      IntakeQuota(g_iDownLoadThreadCount, inflight, g_PendingList.Size(), g_WaitingList.Size());
  std::string addr;
  int server_id = -1;
  ClientPtr client;
  if (quota >= 1) client = m_clients_wrapper.SelectAliveClient(addr, server_id);
  if (!client) {
    usleep(kIdleSleepUs);
    return;
  }
  int id = 0;
  try {
    client = ConnectionFor(addr, client, id);
    if (!client) return;
    spider::ProvideDataResponse answer;
    client->FetchUrls(answer, quota);
    const int rc = answer.rc;
    if (rc == spider::ProvideDataResponseReturnCode::RC_DATA_OK ||
        rc == spider::ProvideDataResponseReturnCode::RC_DATA_PART_OK) {
      ProcessData(answer, id);
    } else {
      m_clients[id].second =
          TimeInMicroseconds() + (rc == spider::ProvideDataResponseReturnCode::RC_NO_DATA
                                      ? kNoDataBackOffUs
                                      : kOtherBackOffUs);
    }
  } catch (...) {
    KLOG(kLogger, KPub::INFO, "ClearClient");
    ClearClient(id, addr);
  }
}

// The client to use for this pass, registering new connections; null when
// the server is backing off (after sleeping if every server is).
PullDataT::ClientPtr PullDataT::ConnectionFor(const std::string& addr, const ClientPtr& offered,
                                              int& id) {
  auto server = m_servers.find(addr);
  if (server == m_servers.end()) {
    id = ++m_curr_id;
    m_servers[addr] = id;
    return Register(id, offered);
  }
  id = server->second;
  auto conn = m_clients.find(id);
  if (conn == m_clients.end()) return Register(id, offered);
  if (conn->second.second > TimeInMicroseconds()) {
    SleepUntilEarliestWakeUp();
    return ClientPtr();
  }
  return conn->second.first;
}

PullDataT::ClientPtr PullDataT::Register(int id, const ClientPtr& client) {
  m_clients[id] = std::make_pair(client, 0UL);
  client->RegisterCrawler(m_crawler_name, m_crawler_clus, m_host_name, m_dns_type);
  return client;
}

void PullDataT::SleepUntilEarliestWakeUp() {
  unsigned long earliest = 0;
  bool first = true;
  for (const auto& conn : m_clients) {
    if (first || conn.second.second < earliest) earliest = conn.second.second;
    first = false;
  }
  const unsigned long now = TimeInMicroseconds();
  if (earliest > now) usleep(static_cast<useconds_t>(earliest - now));
}

void PullDataT::ClearClient(int id, const std::string& server_addr) {
  auto conn = m_clients.find(id);
  if (conn == m_clients.end()) return;
  if (!server_addr.empty()) {
    m_servers.erase(server_addr);
  } else {
    for (auto it = m_servers.begin(); it != m_servers.end(); ++it) {
      if (it->second == id) {
        m_servers.erase(it);
        break;
      }
    }
  }
  m_clients_wrapper.CloseServer(conn->second.first);
  m_clients.erase(conn);
}
