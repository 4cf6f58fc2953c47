// Process-wide objects of the frame: constructed before main, never
// destroyed while threads run. Flags and the in-flight slots are read without
// locks; the queues and the pool carry their own.
#ifndef CRAWLER_GLOBALS_H_
#define CRAWLER_GLOBALS_H_

#include <string>

#include "HBlockMem.h"
#include "List.h"
#include "url_item.h"

extern volatile bool g_bLoadThreadRun;
extern volatile bool g_bStopWriteOutPut;
extern HBlockMem* g_pUrlMem;
extern List<int> g_PendingList;
extern List<int> g_DoneList;
extern List<int> g_WaitingList;
extern int g_iDownLoadThreadCount;
extern int* g_pDownLoading;
extern std::string g_strDataCatogory;
extern std::string g_strLogCatogory;
extern std::string g_strStatCatogory;
extern std::string g_strCrawler;
extern char g_szHost[255];
extern int g_iIpId;

// Parallel transfers of every download thread.
constexpr int kParallelPerThread = 32;

// Sum of the in-flight slots of all download threads; a lock-free snapshot.
void DownLoadingCount(int& cnt);

// The item numbered `no`, or null when the pool never handed it out.
inline tagURL_ITEM* GetUrlItem(int no) {
  return static_cast<tagURL_ITEM*>(g_pUrlMem->GetItem(static_cast<dword>(no)));
}

#endif  // CRAWLER_GLOBALS_H_
