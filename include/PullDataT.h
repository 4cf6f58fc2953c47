// Intake thread: reports finished items to the dispatchers, works out how
// many URLs the process can take, and pulls that many from one dispatcher in
// rotation onto g_PendingList. All members belong to the intake thread; Init
// runs on the main thread before start().
#ifndef CRAWLER_PULLDATAT_H_
#define CRAWLER_PULLDATAT_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "INIFile.h"
#include "Thread.h"
#include "dispatcher2/Dispatcher2ClientsWrapper.h"
#include "url_item.h"

// Longest URL the download engine takes; longer ones get a -6 record.
constexpr size_t kMaxIntakeUrlLength = 1024;

// URLs to ask for: 1.5 x slots minus in flight minus pending, 0 while the
// waiting queue holds that many.
int IntakeQuota(int iThreads, int iInFlight, unsigned long ulPending, unsigned long ulWaiting);
// True for URLs carrying "&password=" or "?password=" in any letter case.
bool Match(const char* purl);

class PullDataT : public Thread {
 public:
  struct FeedBackRes {
    std::map<std::string, int32_t> hosts;
    std::map<int32_t, int32_t> ips;
  };
  typedef spider::Dispatcher2ClientsWrapper::ClientPtr ClientPtr;

  PullDataT();
  bool Init(const char* pszConfig);
  void run() override;

  // The steps of one loop turn, called by run(); public so tests can drive
  // a single step against a real dispatcher.
  bool GetParameter(INIFile& ini);
  void PullOnce();
  tagURL_ITEM* Format(const spider::UrlInfoItem& item, int id);
  void ProcessData(const spider::ProvideDataResponse& result, int id);
  void FeedBack();
  void ClearClient(int id, const std::string& server_addr);

  int CurrentId() const { return m_curr_id; }
  bool HasClient(int id) const { return m_clients.count(id) != 0; }

 private:
  typedef std::map<std::pair<std::string, std::string>, int32_t> ProxyCounts;
  typedef std::map<std::string, std::vector<int32_t>> HostIps;
  struct FeedBackPass {
    std::map<int, FeedBackRes> downloads;
    std::map<int, ProxyCounts> proxies;
    std::map<int, HostIps> resolved;
  };

  ClientPtr ConnectionFor(const std::string& addr, const ClientPtr& offered, int& id);
  ClientPtr Register(int id, const ClientPtr& client);
  void SleepUntilEarliestWakeUp();
  void QueueOrReject(tagURL_ITEM* item);
  void Count(tagURL_ITEM& item, FeedBackPass& pass);
  void SendFeedBack(FeedBackPass& pass);

  char m_host_name[256];
  std::string m_crawler_clus;
  std::string m_crawler_name;
  std::string m_dns_type;
  std::map<std::string, int> m_servers;
  // id -> (client, wake-up time in microseconds since the epoch; 0 = none)
  std::map<int, std::pair<ClientPtr, unsigned long>> m_clients;
  int m_curr_id;
  spider::Dispatcher2ClientsWrapper m_clients_wrapper;
};

extern PullDataT* g_pPullDataT;

#endif  // CRAWLER_PULLDATAT_H_
