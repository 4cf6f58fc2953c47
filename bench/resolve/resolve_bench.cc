// Resolver throughput: items resolved per second by DnsT against a dnsmasq
// on loopback, and IP cache look-ups per second with concurrent callers.
// Usage: resolve_bench [hosts] [threads] [lookups per thread]
#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "DnsT.h"
#include "IpLruQueue.h"
#include "dns_fixtures.h"
#include "globals.h"

using namespace crawler_test;

namespace {

constexpr int kWaitRounds = 600000;  // of 100 us

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string HostName(int i) { return "h" + std::to_string(i) + ".bench.test"; }

// Items per second through the resolver thread, every host distinct.
double DnsTRate(const TempDir& dir, int hosts) {
  std::string records;
  for (int i = 0; i < hosts; ++i) {
    records += "198.51." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + " " +
               HostName(i) + "\n";
  }
  Dnsmasq dnsmasq;
  if (!dnsmasq.Start(dir, records, {"--cache-size=0"})) return -1;
  g_pUrlMem = new HBlockMem(sizeof(tagURL_ITEM), 4096, 64);
  std::vector<tagURL_ITEM*> items;
  for (int i = 0; i < hosts; ++i) {
    int no = -1;
    bool used = false;
    tagURL_ITEM* item = new (g_pUrlMem->Alloc(&no, used)) tagURL_ITEM();
    item->m_iCurNo = no;
    item->m_strUrl = "http://" + HostName(i) + "/";
    items.push_back(item);
  }
  DnsT thread;
  std::string ini =
      "[dns]\ndns_port=" + std::to_string(dnsmasq.port()) + "\ndns_server=127.0.0.1\n";
  if (!thread.Init(WriteIn(dir, "bench.ini", ini).c_str())) return -1;
  thread.start();
  auto start = std::chrono::steady_clock::now();
  for (tagURL_ITEM* item : items) g_WaitingList.AddTail(item->m_iCurNo);
  int back = 0;
  for (int round = 0; round < kWaitRounds && back < hosts; ++round) {
    int no;
    if (g_PendingList.Pop(no)) {
      ++back;
    } else {
      usleep(100);
    }
  }
  double rate = back / Seconds(start);
  thread.ThreadExit();
  for (tagURL_ITEM* item : items) item->~tagURL_ITEM();
  return back == hosts ? rate : -1;
}

// Find calls per second over `threads` concurrent callers.
double FindRate(int hosts, int threads, int lookups) {
  tagIPLIST list;
  list.m_iCnt = 2;
  list.m_iIp[0] = static_cast<int>(inet_addr("198.51.100.1"));
  list.m_iIp[1] = static_cast<int>(inet_addr("198.51.100.2"));
  std::vector<std::string> names;
  for (int i = 0; i < hosts; ++i) names.push_back(HostName(i));
  for (const std::string& name : names) g_IpLruQueue.Append(name, list);
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> callers;
  for (int t = 0; t < threads; ++t) {
    callers.emplace_back([&names, hosts, lookups, t] {
      int ip = 0;
      for (int i = 0; i < lookups; ++i) g_IpLruQueue.Find(names[(i * 7919 + t) % hosts], ip, 0);
    });
  }
  for (std::thread& caller : callers) caller.join();
  return static_cast<double>(threads) * lookups / Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  int hosts = argc > 1 ? atoi(argv[1]) : 2000;
  int threads = argc > 2 ? atoi(argv[2]) : 8;
  int lookups = argc > 3 ? atoi(argv[3]) : 200000;
  TempDir dir;
  LogToFile(dir.File("bench.log"));
  double dnsRate = DnsTRate(dir, hosts);
  printf("DnsT resolutions per second (%d distinct hosts, dnsmasq on loopback): %.0f\n", hosts,
         dnsRate);
  printf("IpLruQueue Find per second (%d threads, %d hosts cached): %.0f\n", threads, hosts,
         FindRate(hosts, threads, lookups));
  return dnsRate < 0 ? 1 : 0;
}
