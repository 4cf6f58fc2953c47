#include "DownLoadThread.h"

#include <unistd.h>

#include "globals.h"
#include "kpub/klog.h"

DownLoadThread** g_ppDownLoadThread = nullptr;

DownLoadThread::DownLoadThread(const char* name, unsigned long stackSize, int& downloading_cnt,
                               int id, int parallel)
    : Thread(name, stackSize), m_parallel(parallel), m_downloading_cnt(downloading_cnt), m_id(id) {}

bool DownLoadThread::Create(INIFile& ini) { return ini.read("download", "") == nullptr; }

void DownLoadThread::run() {
  m_downloading_cnt = 0;
  while (g_bLoadThreadRun) usleep(10000);
  KLOG("search.download", KPub::INFO, "%s: exit", getName());
}
