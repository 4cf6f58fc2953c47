#include "globals.h"

volatile bool g_bLoadThreadRun = true;
volatile bool g_bStopWriteOutPut = false;
HBlockMem* g_pUrlMem = nullptr;
List<int> g_PendingList;
List<int> g_DoneList;
List<int> g_WaitingList;
int g_iDownLoadThreadCount = 0;
int* g_pDownLoading = nullptr;
std::string g_strDataCatogory;
std::string g_strLogCatogory;
std::string g_strStatCatogory;
std::string g_strCrawler;
char g_szHost[255];
int g_iIpId = 0;

void DownLoadingCount(int& cnt) {
  cnt = 0;
  for (int i = 0; i < g_iDownLoadThreadCount; ++i) cnt += g_pDownLoading[i];
}
