#include "DownLoadThread.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <new>

#include "FollowUp.h"
#include "LocalAddress.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "required_key.h"

DownLoadThread** g_ppDownLoadThread = nullptr;
int g_iDownLoadMaxLength = 0;
int g_iDownLoadResFlag = 0;
int g_iReuseaddr = 1;

namespace {

const char kLogger[] = "search.download";
const char kSection[] = "download";
const char kDefaultSpiderName[] = "TolvaSpider";
// Never fetched: kept only for whoever reads the setting.
const char kDefaultHostDownUrl[] = "http://hostdown.localdomain/downloader.php?url=";
constexpr int kFilterCheckSeconds = 30;

const char* Optional(INIFile& ini, const char* key, const char* fallback) {
  const char* v = ini.read(kSection, key);
  return v != nullptr ? v : fallback;
}

}  // namespace

StrFilter hostencode("host.encoding.txt", KPub::Time(kFilterCheckSeconds), "../config/");

DownLoadThread::DownLoadThread(const char* name, unsigned long stackSize, int& downloading_cnt,
                               int id, int parallel)
    : Thread(name, stackSize),
      m_multi_curl(nullptr),
      m_epoll_fd(-1),
      m_parallel(parallel),
      m_epoll_event(nullptr),
      m_iMaxRedirectCount(0),
      m_iEasyTimeOut(0),
      m_iConnectTimeOut(0),
      m_iIpNum(0),
      m_pMatchMeta(nullptr),
      m_pMatchLocation(nullptr),
      m_pMatchHeaderContent_Type(nullptr),
      m_pMatchHeaderCharSet(nullptr),
      m_pMatchHeaderETag(nullptr),
      m_pMatchHeaderLast_Modified(nullptr),
      m_pMatchContentCharSet1(nullptr),
      m_pMatchContentCharSet2(nullptr),
      m_pMatchContentCharSet3(nullptr),
      m_pMatchBaseHref(nullptr),
      m_iMetaJumpMaxSecond(0),
      m_iIgnoreMetaJump(0),
      m_pszDecodePage(new char[kDecodePageSize]),
      m_wcs(new uint16_t[kWideBufferUnits]),
      m_downloading_cnt(downloading_cnt),
      m_id(id),
      m_lTimerDue(0) {
  m_szInterface[0] = '\0';
  m_szAgent[0] = '\0';
  m_szSpiderName[0] = '\0';
}

DownLoadThread::~DownLoadThread() { Close(); }

bool DownLoadThread::GetParameter(INIFile& ini) {
  struct IntKey {
    const char* key;
    int* field;
  };
  const IntKey required[] = {
      {"max_redirect_count", &m_iMaxRedirectCount},
      {"download_timeout", &m_iEasyTimeOut},
      {"connect_timeout", &m_iConnectTimeOut},
      {"meta_jump_max_second", &m_iMetaJumpMaxSecond},
      {"ignore_meta_jump_size", &m_iIgnoreMetaJump},
      {"download_max_length", &g_iDownLoadMaxLength},
  };
  try {
    for (const IntKey& k : required) *k.field = atoi(ReadRequired(ini, kSection, k.key));
    g_iDownLoadResFlag = atoi(Optional(ini, "download_res_flag", "0"));
    ReadLocalAddresses(ini);
    ReadFollowUpSettings(ini);
    strlcpy(m_szAgent, ReadRequired(ini, kSection, "user_agent"), sizeof m_szAgent);
    m_strHostDownUrl = Optional(ini, "host_down_url", kDefaultHostDownUrl);
    strlcpy(m_szSpiderName, Optional(ini, "spider_name", kDefaultSpiderName),
            sizeof m_szSpiderName);
  } catch (...) {
    return false;
  }
  return true;
}

void DownLoadThread::ReadLocalAddresses(INIFile& ini) {
  const char* text = ini.read(kSection, "download_interface");
  m_vectorIps.clear();
  if (text != nullptr) {
    strlcpy(m_szInterface, text, sizeof m_szInterface);
    m_iIpNum = SplitInterfaceList(m_szInterface, m_vectorIps);
  }
  const char* automatic = ini.read(kSection, "auto_interface");
  if (m_iIpNum == 0 && automatic != nullptr && atoi(automatic) == 1 &&
      GetExternalIP(m_vectorIps)) {
    m_iIpNum = static_cast<int>(m_vectorIps.size());
  }
}

bool DownLoadThread::Create(const char* path) {
  INIFile ini;
  if (ini.init(path) != 0) {
    KLOG(kLogger, KPub::ERROR, "INIFile init fail. config-file is : %s", path);
    return false;
  }
  return Create(ini);
}

bool DownLoadThread::Create(INIFile& ini) {
  if (!GetParameter(ini)) {
    KLOG(kLogger, KPub::ERROR, "GetParameter fail.");
    return false;
  }
  m_multi_curl = curl_multi_init();
  if (m_multi_curl == nullptr) {
    KLOG(kLogger, KPub::ERROR, "curl_multi_init fail.");
    return false;
  }
  SetMultiOpt();
  if (!CreateHandlePool()) return false;
  m_epoll_fd = epoll_create(m_parallel);
  if (m_epoll_fd < 0) {
    KLOG(kLogger, KPub::ERROR, "epoll_create fail.");
    return false;
  }
  m_epoll_event = new (std::nothrow) epoll_event[m_parallel];
  if (m_epoll_event == nullptr) {
    KLOG(kLogger, KPub::ERROR, "new epoll_event fail.");
    return false;
  }
  signal(SIGPIPE, SIG_IGN);
  if (!InitRegExp()) {
    KLOG(kLogger, KPub::ERROR, "InitRegExp fail.");
    return false;
  }
  return true;
}

bool DownLoadThread::CreateHandlePool() {
  for (int i = 0; i < m_parallel; ++i) {
    RetData* data = new (std::nothrow) RetData();
    if (data == nullptr || !data->Init()) {
      delete data;
      KLOG(kLogger, KPub::ERROR, "New or Init RetData fail.");
      return false;
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
      delete data;
      KLOG(kLogger, KPub::ERROR, "curl_easy_init fail.");
      return false;
    }
    m_done_map[curl] = data;
    if (!SetEasyOpt(curl, data)) {
      KLOG(kLogger, KPub::ERROR, "SetEasyOpt fail.");
      return false;
    }
  }
  return true;
}

void DownLoadThread::CleanupMap(std::map<void*, RetData*>& pool, bool detach) {
  for (auto& entry : pool) {
    if (detach) curl_multi_remove_handle(m_multi_curl, entry.first);
    curl_easy_cleanup(entry.first);
    delete entry.second;
  }
  pool.clear();
}

// Items still referenced by busy records are not handed back anywhere.
void DownLoadThread::Close() {
  if (m_multi_curl != nullptr) {
    CleanupMap(m_doing_map, true);
    curl_multi_cleanup(m_multi_curl);
    m_multi_curl = nullptr;
  }
  CleanupMap(m_done_map, false);
  if (m_epoll_fd >= 0) close(m_epoll_fd);
  m_epoll_fd = -1;
  delete[] m_epoll_event;
  m_epoll_event = nullptr;
  delete[] m_pszDecodePage;
  m_pszDecodePage = nullptr;
  delete[] m_wcs;
  m_wcs = nullptr;
  m_vectorIps.clear();
  FreeRegExp();
}

std::string DownLoadThread::RobotsMatchUrl() { return m_robots_node.m_url; }

void DownLoadThread::SetRobots(ROBOTS& robots) {
  m_robots_node.m_robots = robots;
  m_robots_node.m_done.store(true, std::memory_order_release);
}
