// One download thread: up to m_parallel transfers on its own epoll loop.
// Minimal start-up form until the download engine lands.
#ifndef CRAWLER_DOWNLOADTHREAD_H_
#define CRAWLER_DOWNLOADTHREAD_H_

#include <string>

#include "INIFile.h"
#include "Thread.h"
#include "url_item.h"

class DownLoadThread : public Thread {
 public:
  DownLoadThread(const char* name, unsigned long stackSize, int& downloading_cnt, int id,
                 int parallel);
  bool Create(INIFile& ini);
  void run() override;
  // Tab-separated dump of an item for audit lines; empty for null.
  static std::string DumpUrl(const tagURL_ITEM* item);

 private:
  int m_parallel;
  int& m_downloading_cnt;
  int m_id;
};

extern DownLoadThread** g_ppDownLoadThread;

#endif  // CRAWLER_DOWNLOADTHREAD_H_
