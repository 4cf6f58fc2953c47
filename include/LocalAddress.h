// Local addresses download transfers bind to: the configured list and the
// machine's public IPv4 addresses. Reentrant; no shared state.
#ifndef CRAWLER_LOCALADDRESS_H_
#define CRAWLER_LOCALADDRESS_H_

#include <string>
#include <vector>

// Splits a ";"-separated list into `ips` (empty pieces kept) and returns the
// number of entries.
int SplitInterfaceList(const std::string& text, std::vector<std::string>& ips);
// Replaces `ips` by every IPv4 interface address that is neither intranet nor
// 127.0.0.1; false only when the interfaces cannot be listed.
bool GetExternalIP(std::vector<std::string>& ips);

#endif  // CRAWLER_LOCALADDRESS_H_
