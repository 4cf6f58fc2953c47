// Host to address cache shared by the resolver thread and every download
// thread. Entries are evicted in order of first insertion, never by use or
// age. Thread-safety: every public call holds m_Mutex for its whole duration.
#ifndef CRAWLER_IPLRUQUEUE_H_
#define CRAWLER_IPLRUQUEUE_H_

#include <map>
#include <string>

#include "iplist.h"
#include "kpub/threadlock.h"

struct IpLruNode {
  std::string host;  // as parsed from the URL, no case folding
  tagIPLIST ips;
  IpLruNode* next;  // the node inserted after this one
};

class IpLruQueue {
 public:
  // Holds at most capacity + 1 hosts.
  explicit IpLruQueue(unsigned int capacity);
  ~IpLruQueue();
  IpLruQueue(const IpLruQueue&) = delete;
  IpLruQueue& operator=(const IpLruQueue&) = delete;

  // Stores or replaces the host's addresses; a replaced host keeps its place
  // in the eviction order. False only when no node can be allocated.
  bool Append(const std::string& host, const tagIPLIST& ips);
  // One cached address of the host: old_ip when it is among them (and not 0),
  // otherwise one drawn uniformly. False, `ip` untouched, when not cached.
  bool Find(const std::string& host, int& ip, int old_ip);
  // Removes up to num of the oldest entries.
  void FreeHeadNode(unsigned int num);

 private:
  IpLruNode* Find(const std::string& host);  // m_Mutex held
  IpLruNode* Pop();                          // m_Mutex held

  unsigned int m_capacity;
  IpLruNode* m_head;                        // oldest; guarded by m_Mutex
  IpLruNode* m_tail;                        // newest; guarded by m_Mutex
  std::map<std::string, IpLruNode*> m_ips;  // index, owns nothing; guarded by m_Mutex
  KPub::kMutex m_Mutex;
};

extern IpLruQueue g_IpLruQueue;

#endif  // CRAWLER_IPLRUQUEUE_H_
