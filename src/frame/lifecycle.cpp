#include "lifecycle.h"

#include <curl/curl.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <iostream>

#include "DnsParse.h"
#include "DnsT.h"
#include "DownLoadThread.h"
#include "PullDataT.h"
#include "RobotsT.h"
#include "globals.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "required_key.h"
#include "tls_locks.h"

namespace {

const char kLogger[] = "search.download";
const char kAuditLogger[] = "search.download.common.audit";
constexpr unsigned long kDownloadStack = 2097152;
constexpr dword kPoolBlock = 4096;
constexpr dword kPoolIndex = 4096;
constexpr unsigned kShutdownGraceSeconds = 180;

bool CreateDownloadThreads(INIFile& ini) {
  g_iDownLoadThreadCount = atoi(ReadRequired(ini, "crawler", "download_thread_count"));
  if (g_iDownLoadThreadCount < 0) g_iDownLoadThreadCount = 0;
  size_t size = static_cast<size_t>(g_iDownLoadThreadCount) * sizeof(DownLoadThread*);
  g_ppDownLoadThread = static_cast<DownLoadThread**>(calloc(1, size == 0 ? 1 : size));
  g_pDownLoading = static_cast<int*>(calloc(g_iDownLoadThreadCount + 1, sizeof(int)));
  if (g_ppDownLoadThread == nullptr || g_pDownLoading == nullptr) {
    kLogAll(kLogger, KPub::ERROR, errno, true, __FILE__, __LINE__, "calloc fail. size=[%zu]",
            size);
  }
  for (int i = 0; i < g_iDownLoadThreadCount; ++i) {
    g_pDownLoading[i] = 0;
    g_ppDownLoadThread[i] =
        new DownLoadThread("", kDownloadStack, g_pDownLoading[i], i, kParallelPerThread);
    if (!g_ppDownLoadThread[i]->Create(ini)) {
      KLOG_THROW(kLogger, KPub::ERROR, "DownLoadThread Create fail.");
    }
  }
  return true;
}

// Without a configured validation service no robots thread exists, and the
// start and stop sequences skip it.
void CreateRobotsThread(INIFile& ini) {
  const char* server = ini.read("vali", "vali_server");
  const char* port = ini.read("vali", "vali_port");
  if (server == nullptr || port == nullptr || atoi(port) == 0) return;
  const char* permit = ini.read("vali", "vali_permit");
  g_pRobotsT = new RobotsT();
  int code = g_pRobotsT->Init(server, static_cast<unsigned>(atoi(port)),
                              permit != nullptr && atoi(permit) != 0);
  if (code == 1) KLOG_THROW(kLogger, KPub::ERROR, "Init RobotsT faild.");
}

void WriteStatusLines() {
  int downloading = 0;
  DownLoadingCount(downloading);
  int slots = g_iDownLoadThreadCount * kParallelPerThread;
  std::string stamp = KPub::LocalTimeText(time(nullptr));
  KLOG(kAuditLogger, KPub::INFO,
       "\temit\t%s\tcrawler_host:%s\tcrawler_name:%s\tthread_cnt:%d\tdownloading_cnt:%d\tmodule:"
       "crawler",
       stamp.c_str(), g_szHost, g_strCrawler.c_str(), slots, downloading);
  KLOG(kLogger, KPub::INFO,
       "crawler_host:%s\tcrawler_name:%s\tthread_cnt:%d\tdownloading_cnt:%d\tpending_cnt:%lu",
       g_szHost, g_strCrawler.c_str(), slots, downloading, g_PendingList.Size());
}

void MonitorLoop() {
  time_t last = static_cast<time_t>(-1);
  while (g_bLoadThreadRun) {
    time_t now = time(nullptr);
    if (now != last) {
      WriteStatusLines();
      last = now;
    }
    sleep(1);
  }
}

// Drops every item still queued: no download, no record, no feedback.
void DrainQueue(List<int>& list, bool lookup) {
  int no;
  while (list.Pop(no)) {
    if (lookup && GetUrlItem(no) == nullptr) {
      KLOG(kLogger, KPub::ERROR, "g_pUrlMem GetItem fail. iMemNo=[%d]", no);
      continue;
    }
    if (!g_pUrlMem->FreeOneItem(static_cast<dword>(no))) {
      KLOG(kLogger, KPub::ERROR, "g_pUrlMem FreeOneItem fail.");
    }
  }
}

void StartThreads() {
  if (g_pRobotsT != nullptr) g_pRobotsT->start();
  g_pDnsT->start();
  for (int i = 0; i < g_iDownLoadThreadCount; ++i) g_ppDownLoadThread[i]->start();
  g_pPullDataT->start();
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_UNBLOCK, &term, nullptr);
}

[[noreturn]] void Shutdown() {
  // A second SIGTERM interrupts the sleep and the shutdown goes on at once.
  sleep(kShutdownGraceSeconds);
  if (g_pRobotsT != nullptr) g_pRobotsT->ThreadExit();
  g_pDnsT->ThreadExit();
  g_bStopWriteOutPut = true;
  DrainQueue(g_PendingList, true);
  DrainQueue(g_WaitingList, true);
  DrainQueue(g_DoneList, false);
  KLOG(kLogger, KPub::INFO, "exit normally.");
  // Download and intake threads are not joined: destructors of process-wide
  // objects must not run under them, so only the streams are flushed.
  std::cout.flush();
  std::cerr.flush();
  fflush(nullptr);
  _exit(0);
}

}  // namespace

void sig_process(int) { g_bLoadThreadRun = false; }

bool InitMemAllocator() {
  g_pUrlMem = new HBlockMem(sizeof(tagURL_ITEM), kPoolBlock, kPoolIndex);
  return g_pUrlMem != nullptr;
}

bool CreateGlobalCounter(INIFile& ini) {
  try {
    g_strDataCatogory = ReadRequired(ini, "crawler", "data_catogory");
    g_strLogCatogory = ReadRequired(ini, "crawler", "log_catogory");
    const char* stat = ini.read("crawler", "stat_catogory");
    g_strStatCatogory = stat != nullptr ? stat : "";
    memset(g_szHost, 0, sizeof g_szHost);
    gethostname(g_szHost, sizeof g_szHost - 1);
    g_strCrawler = ReadRequired(ini, "crawler", "crawler_name");
  } catch (...) {
    return false;
  }
  return true;
}

bool InitThread(INIFile& ini, const char* pszConfig) {
  try {
    curl_global_init(CURL_GLOBAL_ALL);
    init_locks();
    CreateDownloadThreads(ini);
    CreateRobotsThread(ini);
    g_pDnsT = new DnsT();
    if (!g_pDnsT->Init(pszConfig)) KLOG_THROW(kLogger, KPub::ERROR, "Init DnsT fail.");
    g_pPullDataT = new PullDataT();
    if (!g_pPullDataT->Init(pszConfig)) KLOG_THROW(kLogger, KPub::ERROR, "Init PullDataT fail.");
  } catch (...) {
    return false;
  }
  return true;
}

bool Init(const char* pszConfig) {
  try {
    INIFile ini;
    if (ini.init(pszConfig) != 0) {
      KLOG_THROW(kLogger, KPub::ERROR, "INIFile init fail. config-file is: %s", pszConfig);
    }
    if (!InitMemAllocator()) KLOG_THROW(kLogger, KPub::ERROR, "InitMemAllocator fail.");
    if (!CreateGlobalCounter(ini)) KLOG_THROW(kLogger, KPub::ERROR, "CreateGlobalCounter fail.");
    if (!g_dnsparse.Init(pszConfig)) KLOG_THROW(kLogger, KPub::ERROR, "Init DnsParse fail.");
    if (!InitThread(ini, pszConfig)) KLOG_THROW(kLogger, KPub::ERROR, "InitThread fail.");
  } catch (...) {
    return false;
  }
  return true;
}

bool ThreadMain(const char* pszConfig) {
  if (!Init(pszConfig)) {
    try {
      KLOG_THROW(kLogger, KPub::ERROR, "CreateThread fail.");
    } catch (...) {
    }
    return false;
  }
  StartThreads();
  MonitorLoop();
  Shutdown();
}
