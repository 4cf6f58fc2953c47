#include "SimHandler.h"

#include <unistd.h>

#include <algorithm>

#include "json_quote.h"

using spider::ProvideDataResponseReturnCode;

namespace dispatcher_sim {

namespace {

thread_local SimConnection* t_connection = nullptr;

std::string Quote(const std::string& s) { return valueToQuotedString(s.c_str()); }

std::string Json(const std::map<std::string, int32_t>& m) {
  std::string out = "{";
  for (const auto& kv : m) {
    out += (out.size() > 1 ? "," : "") + Quote(kv.first) + ":" + std::to_string(kv.second);
  }
  return out + "}";
}

std::string Json(const std::map<int32_t, int32_t>& m) {
  std::string out = "{";
  for (const auto& kv : m) {
    out += (out.size() > 1 ? ",\"" : "\"") + std::to_string(kv.first) +
           "\":" + std::to_string(kv.second);
  }
  return out + "}";
}

std::string Json(const std::vector<int32_t>& v) {
  std::string out = "[";
  for (int32_t n : v) out += (out.size() > 1 ? "," : "") + std::to_string(n);
  return out + "]";
}

std::string Json(const std::map<std::string, std::vector<int32_t>>& m) {
  std::string out = "{";
  for (const auto& kv : m)
    out += (out.size() > 1 ? "," : "") + Quote(kv.first) + ":" + Json(kv.second);
  return out + "}";
}

std::string Json(const std::vector<spider::ProxyConcurrItem>& v) {
  std::string out = "[";
  for (const auto& p : v) {
    out += (out.size() > 1 ? "," : "") + std::string("{\"proxy_name\":") + Quote(p.proxy_name) +
           ",\"proxy_addr\":" + Quote(p.proxy_addr) +
           ",\"concurr_cnt\":" + std::to_string(p.concurr_cnt) + "}";
  }
  return out + "]";
}

bool ServesUrls(int rc) {
  return rc == ProvideDataResponseReturnCode::RC_DATA_OK ||
         rc == ProvideDataResponseReturnCode::RC_DATA_PART_OK;
}

}  // namespace

void SetCurrentConnection(SimConnection* conn) { t_connection = conn; }

SimHandler::SimHandler(const SimOptions& options, EventLog& log)
    : m_options(options), m_log(log), m_pending(options.urls.begin(), options.urls.end()) {}

SimCounters SimHandler::Counters() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_counters;
}

void SimHandler::CountConnection() {
  std::lock_guard<std::mutex> guard(m_mutex);
  ++m_counters.connections;
}

void SimHandler::AddUrls(const std::vector<spider::UrlInfoItem>& urls) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_pending.insert(m_pending.end(), urls.begin(), urls.end());
}

void SimHandler::LogCall(const std::string& method, const std::string& members) {
  int conn = t_connection == nullptr ? 0 : t_connection->id;
  m_log.Write("\"call\":" + Quote(method) + ",\"conn\":" + std::to_string(conn) +
              (members.empty() ? "" : "," + members));
}

bool SimHandler::RegisterCrawler(const std::string& crawler_name, const std::string& cluster_name,
                                 const std::string& host_name, const std::string& dns_type) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_counters.registrations;
  }
  LogCall("RegisterCrawler",
          "\"crawler_name\":" + Quote(crawler_name) + ",\"cluster_name\":" + Quote(cluster_name) +
              ",\"host_name\":" + Quote(host_name) + ",\"dns_type\":" + Quote(dns_type));
  return true;
}

std::vector<spider::UrlInfoItem> SimHandler::TakeLocked(int32_t count) {
  if (m_options.max_batch > 0) count = std::min(count, m_options.max_batch);
  std::vector<spider::UrlInfoItem> batch;
  while (static_cast<int32_t>(batch.size()) < count) {
    if (m_pending.empty() && m_options.loop) {
      m_pending.assign(m_options.urls.begin(), m_options.urls.end());
    }
    if (m_pending.empty()) break;
    batch.push_back(m_pending.front());
    m_pending.pop_front();
  }
  return batch;
}

int SimHandler::ScriptedCodeLocked(int fetch_no) const {
  if (fetch_no > static_cast<int>(m_options.rc_script.size())) return kAutoCode;
  return m_options.rc_script[fetch_no - 1];
}

// A dropped call closes the connection before the answer is written, so the
// crawler sees the connection end in the middle of the call.
void SimHandler::FetchUrls(spider::ProvideDataResponse& _return, int32_t count) {
  if (m_options.delay_ms > 0) usleep(static_cast<useconds_t>(m_options.delay_ms) * 1000);
  std::unique_lock<std::mutex> lock(m_mutex);
  const int fetch_no = ++m_counters.fetches;
  if (m_options.drop_fetches.count(fetch_no) != 0) {
    ++m_counters.drops;
    lock.unlock();
    LogCall("FetchUrls", "\"count\":" + std::to_string(count) + ",\"dropped\":true");
    if (t_connection != nullptr && t_connection->socket) t_connection->socket->close();
    return;
  }
  int rc = ScriptedCodeLocked(fetch_no);
  std::vector<spider::UrlInfoItem> batch;
  if (rc == kAutoCode || ServesUrls(rc)) batch = TakeLocked(count);
  if (rc == kAutoCode) {
    rc = batch.empty() ? ProvideDataResponseReturnCode::RC_NO_DATA
                       : ProvideDataResponseReturnCode::RC_DATA_OK;
  }
  m_counters.urls_served += static_cast<int>(batch.size());
  lock.unlock();
  _return.rc = static_cast<ProvideDataResponseReturnCode::type>(rc);
  if (!batch.empty()) _return.__set_url_infos(batch);
  LogCall("FetchUrls", "\"count\":" + std::to_string(count) + ",\"rc\":" + std::to_string(rc) +
                           ",\"served\":" + std::to_string(batch.size()));
}

void SimHandler::NotfiyDownloadFinish(const std::map<std::string, int32_t>& hosts_count,
                                      const std::map<int32_t, int32_t>& ips_count) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_counters.host_feedbacks;
  }
  LogCall("NotfiyDownloadFinish",
          "\"hosts_count\":" + Json(hosts_count) + ",\"ips_count\":" + Json(ips_count));
}

void SimHandler::NotfiyProxyDownloadFinish(
    const std::vector<spider::ProxyConcurrItem>& vec_proxy_concurr) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_counters.proxy_feedbacks;
  }
  LogCall("NotfiyProxyDownloadFinish", "\"vec_proxy_concurr\":" + Json(vec_proxy_concurr));
}

void SimHandler::UpdateHostIps(const std::map<std::string, std::vector<int32_t>>& host_ips,
                               const std::string& clus_type) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_counters.host_ip_updates;
  }
  LogCall("UpdateHostIps", "\"host_ips\":" + Json(host_ips) + ",\"clus_type\":" + Quote(clus_type));
}

// The crawler never calls the methods below; they answer neutral values so
// an operator probing the simulator gets a well-formed reply.
void SimHandler::PushUrls(spider::ReceiveDataResponse& _return,
                          const std::vector<spider::UrlInfoItem>& url_infos) {
  AddUrls(url_infos);
  _return.rc = spider::ReceiveDataResponseReturnCode::RC_OK;
  LogCall("PushUrls", "\"count\":" + std::to_string(url_infos.size()));
}

void SimHandler::FetchUrlsWithFinished(spider::ProvideDataResponse& _return,
                                       const std::map<std::string, int32_t>&,
                                       const std::map<int32_t, int32_t>&, int32_t count) {
  LogUnusedCall("FetchUrlsWithFinished");
  FetchUrls(_return, count);
}

void SimHandler::IsHaveConcurrency(std::map<std::string, int32_t>&,
                                   const std::vector<std::string>&) {
  LogUnusedCall("IsHaveConcurrency");
}
bool SimHandler::NotifyConcurrencyChanges(const std::map<std::string, int32_t>&) {
  LogUnusedCall("NotifyConcurrencyChanges");
  return true;
}
bool SimHandler::Ping() {
  LogUnusedCall("Ping");
  return true;
}
int32_t SimHandler::GetCurrentDefaultMaxSiteConcurrency() {
  LogUnusedCall("GetCurrentDefaultMaxSiteConcurrency");
  return 0;
}
void SimHandler::SetCurrentDefaultMaxSiteConcurrency(int32_t) {
  LogUnusedCall("SetCurrentDefaultMaxSiteConcurrency");
}
int32_t SimHandler::GetCurrentDefaultMaxIpConcurrency() {
  LogUnusedCall("GetCurrentDefaultMaxIpConcurrency");
  return 0;
}
void SimHandler::SetCurrentDefaultMaxIpConcurrency(int32_t) {
  LogUnusedCall("SetCurrentDefaultMaxIpConcurrency");
}
bool SimHandler::DisableIps(const std::vector<int32_t>&) {
  LogUnusedCall("DisableIps");
  return true;
}
bool SimHandler::EnableIps(const std::vector<int32_t>&) {
  LogUnusedCall("EnableIps");
  return true;
}
void SimHandler::GetDisabledIps(std::vector<int32_t>&) { LogUnusedCall("GetDisabledIps"); }
bool SimHandler::EnableExitMode() {
  LogUnusedCall("EnableExitMode");
  return true;
}
bool SimHandler::DisableExitMode() {
  LogUnusedCall("DisableExitMode");
  return true;
}
bool SimHandler::IsExitMode() {
  LogUnusedCall("IsExitMode");
  return false;
}
void SimHandler::GetVirtualCrawlerIdByDataType(std::string&, const std::string&) {
  LogUnusedCall("GetVirtualCrawlerIdByDataType");
}
bool SimHandler::SetVirtualCrawlerIdWithDataType(const std::string&, const std::string&) {
  LogUnusedCall("SetVirtualCrawlerIdWithDataType");
  return true;
}
void SimHandler::GetPseudoListByCrawler(std::vector<std::string>&, const std::string&) {
  LogUnusedCall("GetPseudoListByCrawler");
}
bool SimHandler::SetPseudoListWithCrawler(const std::string&, const std::vector<std::string>&) {
  LogUnusedCall("SetPseudoListWithCrawler");
  return true;
}
bool SimHandler::InsertVirtualCrawlerId(const std::string&) {
  LogUnusedCall("InsertVirtualCrawlerId");
  return true;
}
void SimHandler::GetAllVirtualCrawlerIds(std::vector<std::string>&) {
  LogUnusedCall("GetAllVirtualCrawlerIds");
}

}  // namespace dispatcher_sim
