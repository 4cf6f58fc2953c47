// Robots thread: answers robots verdicts for URLs submitted by download
// threads. Exists only when the validation service is configured.
// Minimal start-up form until the robots client lands.
#ifndef CRAWLER_ROBOTST_H_
#define CRAWLER_ROBOTST_H_

#include <pthread.h>

#include <string>

#include "Thread.h"

class RobotsT : public Thread {
 public:
  RobotsT();
  ~RobotsT() override;
  // 0 ready, 1 rules cache failed (fatal), 2 service not reachable.
  int Init(std::string server, unsigned int port, bool permit);
  void run() override;
  void ThreadExit();

 private:
  bool m_permit;
  bool m_bexit;  // guarded by m_mutex
  pthread_mutex_t m_mutex;
  pthread_cond_t m_cond;
};

extern RobotsT* g_pRobotsT;

#endif  // CRAWLER_ROBOTST_H_
