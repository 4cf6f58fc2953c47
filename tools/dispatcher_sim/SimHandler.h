// Dispatcher behaviour of the simulator: serves the URL list in order,
// answers with scripted codes, drops or delays calls on request, and records
// every call in the EventLog. All state is guarded by m_mutex; the handler is
// shared by all connection threads.
#ifndef DISPATCHER_SIM_SIMHANDLER_H_
#define DISPATCHER_SIM_SIMHANDLER_H_

#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EventLog.h"
#include "dispatcher2/SpiderDispatcher2.h"

namespace dispatcher_sim {

// Script entry meaning "answer as the URL list allows".
constexpr int kAutoCode = -1;

struct SimOptions {
  std::string host = "127.0.0.1";
  int port = 0;
  std::vector<spider::UrlInfoItem> urls;
  bool loop = false;           // start the list again when it runs out
  int max_batch = 0;           // 0: up to the requested count
  std::vector<int> rc_script;  // codes of the first FetchUrls answers
  std::set<int> drop_fetches;  // FetchUrls numbers (from 1) to drop
  int delay_ms = 0;            // before every FetchUrls answer
};

struct SimCounters {
  int connections = 0;
  int registrations = 0;
  int fetches = 0;
  int urls_served = 0;
  int host_feedbacks = 0;
  int proxy_feedbacks = 0;
  int host_ip_updates = 0;
  int drops = 0;
};

// Per-connection data the server hands the handler for the current call.
struct SimConnection {
  int id = 0;
  std::shared_ptr<apache::thrift::transport::TTransport> socket;
};
void SetCurrentConnection(SimConnection* conn);

class SimHandler : public spider::SpiderDispatcher2If {
 public:
  SimHandler(const SimOptions& options, EventLog& log);

  SimCounters Counters();
  void CountConnection();
  // Adds URLs to the end of the list (tests feed batches while running).
  void AddUrls(const std::vector<spider::UrlInfoItem>& urls);

  bool RegisterCrawler(const std::string& crawler_name, const std::string& cluster_name,
                       const std::string& host_name, const std::string& dns_type) override;
  void FetchUrls(spider::ProvideDataResponse& _return, int32_t count) override;
  void NotfiyDownloadFinish(const std::map<std::string, int32_t>& hosts_count,
                            const std::map<int32_t, int32_t>& ips_count) override;
  void NotfiyProxyDownloadFinish(
      const std::vector<spider::ProxyConcurrItem>& vec_proxy_concurr) override;
  void UpdateHostIps(const std::map<std::string, std::vector<int32_t>>& host_ips,
                     const std::string& clus_type) override;

  void PushUrls(spider::ReceiveDataResponse& _return,
                const std::vector<spider::UrlInfoItem>& url_infos) override;
  void FetchUrlsWithFinished(spider::ProvideDataResponse& _return,
                             const std::map<std::string, int32_t>& hosts_count,
                             const std::map<int32_t, int32_t>& ips_count, int32_t count) override;
  void IsHaveConcurrency(std::map<std::string, int32_t>& _return,
                         const std::vector<std::string>& host_name) override;
  bool NotifyConcurrencyChanges(const std::map<std::string, int32_t>&) override;
  bool Ping() override;
  int32_t GetCurrentDefaultMaxSiteConcurrency() override;
  void SetCurrentDefaultMaxSiteConcurrency(int32_t) override;
  int32_t GetCurrentDefaultMaxIpConcurrency() override;
  void SetCurrentDefaultMaxIpConcurrency(int32_t) override;
  bool DisableIps(const std::vector<int32_t>&) override;
  bool EnableIps(const std::vector<int32_t>&) override;
  void GetDisabledIps(std::vector<int32_t>& _return) override;
  bool EnableExitMode() override;
  bool DisableExitMode() override;
  bool IsExitMode() override;
  void GetVirtualCrawlerIdByDataType(std::string& _return, const std::string&) override;
  bool SetVirtualCrawlerIdWithDataType(const std::string&, const std::string&) override;
  void GetPseudoListByCrawler(std::vector<std::string>& _return, const std::string&) override;
  bool SetPseudoListWithCrawler(const std::string&, const std::vector<std::string>&) override;
  bool InsertVirtualCrawlerId(const std::string&) override;
  void GetAllVirtualCrawlerIds(std::vector<std::string>& _return) override;

 private:
  // Takes up to `count` URLs off the list; called with m_mutex held.
  std::vector<spider::UrlInfoItem> TakeLocked(int32_t count);
  int ScriptedCodeLocked(int fetch_no) const;
  void LogCall(const std::string& method, const std::string& members);
  void LogUnusedCall(const std::string& method) { LogCall(method, ""); }

  const SimOptions m_options;
  EventLog& m_log;
  std::mutex m_mutex;
  std::deque<spider::UrlInfoItem> m_pending;  // guarded by m_mutex
  SimCounters m_counters;                     // guarded by m_mutex
};

}  // namespace dispatcher_sim

#endif  // DISPATCHER_SIM_SIMHANDLER_H_
