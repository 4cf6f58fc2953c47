#include "PullDataT.h"

#include <unistd.h>

#include "globals.h"

PullDataT* g_pPullDataT = nullptr;

PullDataT::PullDataT() : Thread("", 0) {}

bool PullDataT::Init(const char* pszConfig) { return pszConfig != nullptr; }

void PullDataT::run() {
  while (g_bLoadThreadRun) usleep(100000);
}
