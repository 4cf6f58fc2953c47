// Process start-up, monitor loop and shutdown, run by the main thread.
#ifndef CRAWLER_LIFECYCLE_H_
#define CRAWLER_LIFECYCLE_H_

#include "INIFile.h"

void sig_process(int n);
// Start-up, monitor loop and shutdown. Returns false only when start-up
// failed; a normal shutdown ends the process inside it with status 0.
bool ThreadMain(const char* pszConfig);
bool Init(const char* pszConfig);
bool InitMemAllocator();
bool CreateGlobalCounter(INIFile& ini);
bool InitThread(INIFile& ini, const char* pszConfig);

#endif  // CRAWLER_LIFECYCLE_H_
