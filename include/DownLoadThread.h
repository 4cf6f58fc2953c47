// One download thread: a pool of easy handles, each paired for life with a
// RetData, driven by one libcurl multi handle in socket mode on one epoll set.
// Everything here is owned by the thread that runs it; nothing is locked.
// Create runs before start(); Close after the thread has ended.
#ifndef CRAWLER_DOWNLOADTHREAD_H_
#define CRAWLER_DOWNLOADTHREAD_H_

#include <curl/curl.h>
#include <pcrecpp.h>
#include <stdint.h>
#include <sys/epoll.h>

#include <map>
#include <string>
#include <vector>

#include "Bool.h"
#include "INIFile.h"
#include "RetData.h"
#include "RobotsNode.h"
#include "StrFilter.h"
#include "Thread.h"
#include "url_item.h"

// Sizes of the two conversion buffers each thread keeps for page output.
constexpr size_t kDecodePageSize = 4194304;
constexpr size_t kWideBufferUnits = 4194304;
constexpr size_t kAgentSize = 256;
constexpr size_t kInterfaceTextSize = 512;

class DownLoadThread : public Thread {
 public:
  DownLoadThread(const char* name, unsigned long stackSize, int& downloading_cnt, int id,
                 int parallel);
  ~DownLoadThread() override;

  bool Create(INIFile& ini);
  bool Create(const char* path);
  void run() override;
  void Close();

  bool HasDoneCurl();
  bool GetDoneCurl(void** pCurl, RetData** pData);
  bool Add2DoingCurl(void* pCurl, RetData* pData);
  bool ActiveCurl(void* pCurl, RetData* pData);
  bool DeactiveCurl(void* pCurl, RetData* pData);
  RetData* GetDoingData(void* pCurl);
  bool MoveDoingCurl2Done(void* pCurl, bool deactive);

  bool SetMultiOpt();
  void CheckMultiInfo();

  std::string RobotsMatchUrl();
  void SetRobots(ROBOTS& robots);

  bool SetEasyOpt(void* pCurl, RetData* pData);
  bool InitDownloadOpt(void* pCurl, char* pszDurl, int iIP, bool set_proxy_cookie,
                       char* pszSurl);
  bool FillRetData(void* pCurl, RetData* pData);

  bool InitRegExp();
  void FreeRegExp();

  // Judges the charset of a completed response: fills m_strHeaderContent_Type,
  // m_str_o_charset, m_chCharSetType and m_isXml. Nothing for null.
  void JudgePageCharSet(RetData* pData);
  // "UTF-8", "BIG5" or "GB18030" for a recognised declared name, needdetect
  // false; otherwise the name unchanged and needdetect true.
  static std::string getConvCharset(const std::string& charset, bool& needdetect);

  void HandleMsg(CURLMsg* pMsg);
  void FreeDowningRes(tagURL_ITEM* pstUrlItem, void* pCurl, bool deactive);

  // Follow-ups of a completed transfer on the same handle: True when the
  // next request is set up, False for a null handle or record, Nul when
  // there is nothing to follow.
  Bool ProcessRedirect(void* pCurl, RetData* pData);
  Bool ProcessMetaJump(void* pCurl, RetData* pData);
  Bool ProcessSwf(void* pCurl, RetData* pData);

  // Result records and lines of a finished item. OutPutPageData writes only
  // a discard line once shutdown has stopped the output; both are false only
  // for a record without an item.
  bool OutPutPageData(RetData* pData);
  bool OutPutCommonData(RetData* pData);

  // Tab-separated dump of an item for audit lines; empty for null.
  static std::string DumpUrl(const tagURL_ITEM* item);

  static int multi_sock_cb(CURL* easy, curl_socket_t s, int what, void* userp, void* socketp);
  static int multi_timer_cb(CURLM* multi, long timeout_ms, void* userp);

 private:
  // Where HandleMsg goes next: the join points of the completion, a
  // response ready to be searched for jumps, or a handle restarted.
  enum Completion { kCaptured, kJoinA, kJoinB, kJoinC, kJoinD, kRestarted };

  bool GetParameter(INIFile& ini);
  void ReadLocalAddresses(INIFile& ini);
  bool CreateHandlePool();
  void CleanupMap(std::map<void*, RetData*>& pool, bool detach);
  void IntakePhase();
  bool StartItem(int iMemNo);
  bool PrepareRecord(tagURL_ITEM* item, void*& curl, RetData*& data);
  void DrivePhase();
  int WaitMillis();
  void SetSocketEvents(curl_socket_t s, int what, void* socketp);
  bool SetLocalAddress(void* pCurl, RetData* pData);
  bool SetRequestTarget(void* pCurl, RetData* pData, const char* pszDurl,
                        const std::string& strIP);
  bool SetProxyCookie(void* pCurl, RetData* pData, char* pszSurl);
  Completion FirstDecision(void* pCurl, RetData* pData, std::string& error);
  Completion AfterCapture(RetData* pData);
  Completion JoinB(void* pCurl, RetData* pData);
  Completion JoinA(void* pCurl, RetData* pData);
  void JoinC(RetData* pData, std::string& error);
  void JoinD(void* pCurl, RetData* pData, const std::string& error);
  Completion Restart(void* pCurl, RetData* pData, PROCESS_TYPE next);
  void MergeSwfDocument(RetData* pData);
  void MarkRedownload(RetData* pData);
  Bool FollowMetaRefresh(void* pCurl, RetData* pData, int delay, std::string target);
  Bool FollowScriptJump(void* pCurl, RetData* pData);
  Bool FollowJump(void* pCurl, RetData* pData, const std::string& target);

  // Charset declared in the start of the body, for JudgePageCharSet.
  void FindDeclaredCharSet(RetData* pData);

  RobotsNode m_robots_node;
  CURLM* m_multi_curl;
  int m_epoll_fd;
  int m_parallel;
  epoll_event* m_epoll_event;
  std::map<void*, RetData*> m_doing_map;
  std::map<void*, RetData*> m_done_map;
  int m_iMaxRedirectCount;
  int m_iEasyTimeOut;
  int m_iConnectTimeOut;
  char m_szInterface[kInterfaceTextSize];
  std::vector<std::string> m_vectorIps;
  int m_iIpNum;
  char m_szAgent[kAgentSize];
  char m_szSpiderName[kAgentSize];
  std::string m_strHostDownUrl;
  pcrecpp::RE* m_pMatchMeta;
  pcrecpp::RE* m_pMatchLocation;
  pcrecpp::RE* m_pMatchHeaderContent_Type;
  pcrecpp::RE* m_pMatchHeaderCharSet;
  pcrecpp::RE* m_pMatchHeaderETag;
  pcrecpp::RE* m_pMatchHeaderLast_Modified;
  pcrecpp::RE* m_pMatchContentCharSet1;
  pcrecpp::RE* m_pMatchContentCharSet2;
  pcrecpp::RE* m_pMatchContentCharSet3;
  pcrecpp::RE* m_pMatchBaseHref;
  int m_iMetaJumpMaxSecond;
  int m_iIgnoreMetaJump;
  char* m_pszDecodePage;
  uint16_t* m_wcs;
  int& m_downloading_cnt;
  int m_id;
  // When libcurl next wants its timeout serviced (TimeInMicroseconds), 0
  // when it asked for none; written by multi_timer_cb on this thread.
  unsigned long m_lTimerDue;
};

extern DownLoadThread** g_ppDownLoadThread;
extern int g_iDownLoadMaxLength;
extern int g_iDownLoadResFlag;
extern int g_iReuseaddr;
// Hosts asked for uncompressed bodies ("host.encoding.txt" under "../config/").
extern StrFilter hostencode;

#endif  // CRAWLER_DOWNLOADTHREAD_H_
