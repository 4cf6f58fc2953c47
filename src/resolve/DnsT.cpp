#include "DnsT.h"

#include <unistd.h>

#include "IpLruQueue.h"
#include "globals.h"
#include "kpub/klog.h"
#include "url_util.h"

DnsT* g_pDnsT = nullptr;

namespace {

constexpr useconds_t kIdleSleepUs = 1000;

}  // namespace

DnsT::DnsT() : Thread("", 0), m_bexit(false) {}

bool DnsT::Init(const char* pszConfig) { return m_dnsparse.Init(pszConfig); }

void DnsT::Resolve(tagURL_ITEM* pItem) {
  tagURL_PARSE stUrl;
  parse_url(pItem->m_strUrl.c_str(), stUrl);
  pItem->m_strHost = stUrl.m_hostname;
  int ip = 0;
  if (!g_IpLruQueue.Find(pItem->m_strHost, ip, 0)) {
    tagIPLIST list;
    Bool found = m_dnsparse.GetIP(pItem->m_strHost.c_str(), &list);
    if (found == False || list.m_iCnt <= 0) {
      list.m_iCnt = 1;
      list.m_iIp[0] = 0;
    } else if (found == True) {
      pItem->m_bWaiting = true;
    }
    ip = list.m_iIp[0];
    g_IpLruQueue.Append(pItem->m_strHost, list);
    pItem->m_ips.assign(list.m_iIp, list.m_iIp + list.m_iCnt);
  }
  pItem->m_iIP = ip;
}

void DnsT::run() {
  while (!m_bexit) {
    int iMemNo = 0;
    if (!g_WaitingList.Pop(iMemNo)) {
      usleep(kIdleSleepUs);
      continue;
    }
    tagURL_ITEM* pItem = GetUrlItem(iMemNo);
    if (pItem == nullptr) {
      KLOG("search.download", KPub::ERROR, "g_pUrlMem GetItem fail. iMemNo=[%d]", iMemNo);
      continue;
    }
    Resolve(pItem);
    g_PendingList.AddTail(pItem->m_iCurNo);
  }
}

void DnsT::ThreadExit() {
  m_bexit = true;
  join();
}
