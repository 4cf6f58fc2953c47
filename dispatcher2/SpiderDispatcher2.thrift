// Interface between the crawler and the dispatcher servers that hand out
// URLs and collect per-host, per-address and per-proxy download counts.
// Field ids and requiredness are part of the wire contract: never renumber.

namespace cpp spider

enum ReceiveDataResponseReturnCode {
  RC_OK = 0,
  RC_REJECT = 1,
  RC_PARTIAL_REJECT = 2,
  RC_SERVER_ABNORMAL = 3
}

enum ProvideDataResponseReturnCode {
  RC_DATA_OK = 0,
  RC_DATA_PART_OK = 1,
  RC_NO_DATA = 2,
  RC_REJECT = 3,
  RC_SERVER_ABNORMAL = 4,
  RC_NO_SLICE_DATA = 5,
  RC_NO_VALID_SLICE_DATA = 6
}

struct UrlInfoItem {
  1: required string url,
  2: required i32 priority,
  3: required string data_type,
  4: optional i32 ip,
  5: optional string user_agent,
  6: optional string referer,
  7: optional string cookie,
  8: optional string postdata,
  9: optional i32 res_flag,
  10: optional string proxy_addr,
  11: optional i32 proxy_type,
  12: optional string data_category,
  13: optional string log_category,
  14: optional i32 expire_time,
  15: optional string opt,
  16: optional i32 dispatcher1_in_tm,
  17: optional i32 dispatcher1_out_tm,
  18: optional i32 dispatcher2_in_tm,
  19: optional i32 dispatcher2_out_tm,
  20: optional i32 crawler_in_tm,
  21: optional i32 crawler_out_tm,
  22: optional string uuid,
  23: optional string dispatcher1_ip,
  24: optional string proxy_name,
  25: optional bool robots_nomatch,
  26: optional bool need_delete,
  27: optional bool ip_no_replace
}

struct UrlInfoList {
  1: required list<UrlInfoItem> urlinfos
}

struct RejectItem {
  1: required string host,
  2: required i32 priority
}

struct ReceiveDataResponse {
  1: required ReceiveDataResponseReturnCode rc,
  2: optional string message,
  3: optional list<RejectItem> reject_hosts,
  4: optional i32 reject_count,
  5: optional map<string, i32> domain_or_host_url_count
}

struct ProxyConcurrItem {
  1: required string proxy_name,
  2: required string proxy_addr,
  3: required i32 concurr_cnt
}

struct ProvideDataResponse {
  1: required ProvideDataResponseReturnCode rc,
  2: optional string message,
  3: optional list<UrlInfoItem> url_infos,
  4: optional i32 slice_id
}

service SpiderDispatcher2 {
  bool RegisterCrawler(1: string crawler_name, 2: string cluster_name, 3: string host_name,
                       4: string dns_type),
  ProvideDataResponse FetchUrls(1: i32 count),
  oneway void NotfiyDownloadFinish(1: map<string, i32> hosts_count,
                                   2: map<i32, i32> ips_count),
  oneway void NotfiyProxyDownloadFinish(1: list<ProxyConcurrItem> vec_proxy_concurr),
  oneway void UpdateHostIps(1: map<string, list<i32>> host_ips, 2: string clus_type),

  // Not called by the crawler; kept so the generated client matches the servers.
  ReceiveDataResponse PushUrls(1: list<UrlInfoItem> url_infos),
  ProvideDataResponse FetchUrlsWithFinished(1: map<string, i32> hosts_count,
                                            2: map<i32, i32> ips_count,
                                            3: i32 count),
  map<string, i32> IsHaveConcurrency(1: list<string> host_name),
  bool NotifyConcurrencyChanges(1: map<string, i32> item_concurrencies),
  bool Ping(),
  i32 GetCurrentDefaultMaxSiteConcurrency(),
  void SetCurrentDefaultMaxSiteConcurrency(1: i32 max_site_concy),
  i32 GetCurrentDefaultMaxIpConcurrency(),
  void SetCurrentDefaultMaxIpConcurrency(1: i32 max_ip_concy),
  bool DisableIps(1: list<i32> ips),
  bool EnableIps(1: list<i32> ips),
  list<i32> GetDisabledIps(),
  bool EnableExitMode(),
  bool DisableExitMode(),
  bool IsExitMode(),
  string GetVirtualCrawlerIdByDataType(1: string data_type),
  bool SetVirtualCrawlerIdWithDataType(1: string data_type, 2: string vc_id),
  list<string> GetPseudoListByCrawler(1: string crawler_name),
  bool SetPseudoListWithCrawler(1: string crawler_name, 2: list<string> pseudo_list),
  bool InsertVirtualCrawlerId(1: string vc_id),
  list<string> GetAllVirtualCrawlerIds()
}
