// Addresses of one host: up to kIpListMax IPv4 addresses as 32-bit values in
// network byte order (as ip2int makes them). The single address 0 stands for
// a failed resolution. A plain value type.
#ifndef CRAWLER_IPLIST_H_
#define CRAWLER_IPLIST_H_

constexpr int kIpListMax = 32;

struct tagIPLIST {
  int m_iCnt;             // addresses in use, 0 .. kIpListMax
  int m_iIp[kIpListMax];  // network byte order
};

#endif  // CRAWLER_IPLIST_H_
