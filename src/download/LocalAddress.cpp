#include "LocalAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "url_util.h"

// A list without any ";" is one address: the splitter alone would yield no
// piece, and a single configured address is plainly meant to bind.
int SplitInterfaceList(const std::string& text, std::vector<std::string>& ips) {
  ips.clear();
  int n = KPub::split(text, ";", ips);
  if (n == 0 && !text.empty()) {
    ips.push_back(text);
    n = 1;
  }
  return n;
}

bool GetExternalIP(std::vector<std::string>& ips) {
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  ips.clear();
  std::string text;
  for (struct ifaddrs* p = list; p != nullptr; p = p->ifa_next) {
    if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET) continue;
    char dotted[INET_ADDRSTRLEN];
    const struct sockaddr_in* sin = reinterpret_cast<const struct sockaddr_in*>(p->ifa_addr);
    if (inet_ntop(AF_INET, &sin->sin_addr, dotted, sizeof dotted) == nullptr) continue;
    std::string addr(dotted);
    if (IsIntranetIP(dotted) || addr == "127.0.0.1") continue;
    ips.push_back(addr);
    text += addr + ";";
  }
  freeifaddrs(list);
  if (!text.empty()) KLOG("search.download", KPub::INFO, "External Ip is %s", text.c_str());
  return true;
}
