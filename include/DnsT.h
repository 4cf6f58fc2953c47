// Resolver thread: takes items parked on g_WaitingList one at a time,
// resolves their host (IP cache first, then its own DnsParse), caches the
// result and hands the item back on g_PendingList. Created, started and
// stopped by the main thread; run() is the only user of m_dnsparse.
#ifndef CRAWLER_DNST_H_
#define CRAWLER_DNST_H_

#include <atomic>

#include "DnsParse.h"
#include "Thread.h"

struct tagURL_ITEM;

class DnsT : public Thread {
 public:
  DnsT();
  bool Init(const char* pszConfig);
  void run() override;
  // Asks the loop to stop and waits for it.
  void ThreadExit();

 private:
  void Resolve(tagURL_ITEM* pItem);

  std::atomic<bool> m_bexit;
  DnsParse m_dnsparse;
};

extern DnsT* g_pDnsT;

#endif  // CRAWLER_DNST_H_
