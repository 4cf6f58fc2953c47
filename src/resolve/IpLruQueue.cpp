#include "IpLruQueue.h"

#include <stdlib.h>

#include <new>

IpLruQueue g_IpLruQueue(0x80000);

IpLruQueue::IpLruQueue(unsigned int capacity)
    : m_capacity(capacity), m_head(nullptr), m_tail(nullptr), m_Mutex(false) {}

IpLruQueue::~IpLruQueue() {
  for (IpLruNode* node = m_head; node != nullptr;) {
    IpLruNode* next = node->next;
    delete node;
    node = next;
  }
  m_ips.clear();
}

IpLruNode* IpLruQueue::Find(const std::string& host) {
  auto it = m_ips.find(host);
  return it == m_ips.end() ? nullptr : it->second;
}

IpLruNode* IpLruQueue::Pop() {
  if (m_ips.empty()) return nullptr;
  IpLruNode* node = m_head;
  m_ips.erase(node->host);
  if (m_ips.empty()) {
    m_head = m_tail = nullptr;
  } else {
    m_head = node->next;
  }
  node->next = nullptr;
  return node;
}

bool IpLruQueue::Find(const std::string& host, int& ip, int old_ip) {
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  IpLruNode* node = Find(host);
  if (node == nullptr) return false;
  const tagIPLIST& ips = node->ips;
  if (old_ip != 0) {
    for (int i = 0; i < ips.m_iCnt; ++i) {
      if (ips.m_iIp[i] == old_ip) {
        ip = old_ip;
        return true;
      }
    }
  }
  // A list stored without addresses answers like a failed resolution.
  int cnt = ips.m_iCnt < kIpListMax ? ips.m_iCnt : kIpListMax;
  if (cnt <= 0) {
    ip = 0;
    return true;
  }
  ip = ips.m_iIp[static_cast<int>(rand() / 2147483648.0 * cnt)];
  return true;
}

bool IpLruQueue::Append(const std::string& host, const tagIPLIST& ips) {
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  IpLruNode* node = Find(host);
  if (node != nullptr) {
    node->ips = ips;
    return true;
  }
  node = m_ips.size() > m_capacity ? Pop() : new (std::nothrow) IpLruNode;
  if (node == nullptr) return false;
  node->host = host;
  node->ips = ips;
  node->next = nullptr;
  if (m_ips.empty()) {
    m_head = node;
  } else {
    m_tail->next = node;
  }
  m_tail = node;
  m_ips[host] = node;
  return true;
}

void IpLruQueue::FreeHeadNode(unsigned int num) {
  KPub::scopelock<KPub::kMutex> guard(m_Mutex);
  for (unsigned int i = 0; i < num; ++i) {
    IpLruNode* node = Pop();
    if (node == nullptr) return;
    delete node;
  }
}
