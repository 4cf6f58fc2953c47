#include "PullDataT.h"
#include "globals.h"
#include "kpub/klog.h"

namespace {

const char kLogger[] = "search.download";

bool CountsAddress(int ip) { return ip != 0 && ip != -1; }

}  // namespace

void PullDataT::FeedBack() {
  List<int> done;
  done.Merger(g_DoneList);
  FeedBackPass pass;
  int no = -1;
  while (done.Pop(no)) {
    tagURL_ITEM* item = GetUrlItem(no);
    if (item == nullptr) {
      KLOG(kLogger, KPub::ERROR, "g_pUrlMem GetItem fail. iMemNo=[%d]", no);
      continue;
    }
    Count(*item, pass);
    if (!g_pUrlMem->FreeOneItem(static_cast<dword>(no))) {
      KLOG(kLogger, KPub::ERROR, "g_pUrlMem FreeOneItem fail.");
    }
  }
  SendFeedBack(pass);
}

void PullDataT::Count(tagURL_ITEM& item, FeedBackPass& pass) {
  if (item.m_bWaiting && !item.m_ips.empty()) {
    pass.resolved[item.m_iPullFd][item.m_strHost] = std::move(item.m_ips);
    item.m_ips.clear();
  }
  if (!item.m_strProxyName.empty() && !item.m_strProxy.empty()) {
    ++pass.proxies[item.m_iPullFd][std::make_pair(item.m_strProxyName, item.m_strProxy)];
    return;
  }
  FeedBackRes& res = pass.downloads[item.m_iPullFd];
  ++res.hosts[item.m_strHost];
  if (CountsAddress(item.m_iIP1)) ++res.ips[item.m_iIP1];
}

// Per connection at most three calls, in this order; counts of connections
// dropped meanwhile are lost.
void PullDataT::SendFeedBack(FeedBackPass& pass) {
  for (const auto& conn : pass.resolved) {
    if (!HasClient(conn.first)) continue;
    try {
      m_clients[conn.first].first->UpdateHostIps(conn.second, m_dns_type);
    } catch (...) {
      KLOG(kLogger, KPub::INFO, "ClearClient");
      ClearClient(conn.first, "");
    }
  }
  for (const auto& conn : pass.proxies) {
    if (!HasClient(conn.first)) continue;
    std::vector<spider::ProxyConcurrItem> items;
    for (const auto& count : conn.second) {
      spider::ProxyConcurrItem p;
      p.proxy_name = count.first.first;
      p.proxy_addr = count.first.second;
      p.concurr_cnt = count.second;
      items.push_back(p);
    }
    try {
      m_clients[conn.first].first->NotfiyProxyDownloadFinish(items);
    } catch (...) {
      ClearClient(conn.first, "");
    }
  }
  for (const auto& conn : pass.downloads) {
    if (!HasClient(conn.first)) continue;
    try {
      m_clients[conn.first].first->NotfiyDownloadFinish(conn.second.hosts, conn.second.ips);
    } catch (...) {
      KLOG(kLogger, KPub::INFO, "ClearClient");
      ClearClient(conn.first, "");
    }
  }
}
