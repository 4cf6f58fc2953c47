// Intake thread: pulls URL batches from the dispatchers into g_PendingList
// and reports finished items back. Minimal start-up form until intake lands.
#ifndef CRAWLER_PULLDATAT_H_
#define CRAWLER_PULLDATAT_H_

#include "Thread.h"

class PullDataT : public Thread {
 public:
  PullDataT();
  bool Init(const char* pszConfig);
  void run() override;
};

extern PullDataT* g_pPullDataT;

#endif  // CRAWLER_PULLDATAT_H_
