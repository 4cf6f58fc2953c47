#include "download_harness.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

#include "HBlockMem.h"
#include "INIFile.h"
#include "globals.h"

const char kFilteredHost[] = "filtered.test";

namespace {

constexpr dword kPoolBlock = 4096;
constexpr dword kPoolIndex = 4096;
constexpr auto kPollPause = std::chrono::milliseconds(20);
constexpr int kPollsPerSecond = 50;

const char kBaseIni[] =
    "[download]\n"
    "max_redirect_count=5\n"
    "download_timeout=20\n"
    "connect_timeout=5\n"
    "meta_jump_max_second=3\n"
    "ignore_meta_jump_size=10000\n"
    "download_max_length=1000\n"
    "user_agent=User-Agent: TestAgent/1.0\n";

std::string g_scratch;

// Scratch tree: <root>/work is the working directory, <root>/config holds
// the filter file, so the filter's "../config/" prefix finds it.
class DownloadEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/dltest.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_root = tmpl;
    g_scratch = m_root + "/work";
    std::filesystem::create_directories(g_scratch);
    std::filesystem::create_directories(m_root + "/config");
    std::ofstream(m_root + "/config/host.encoding.txt") << "# hosts without compression\n"
                                                        << kFilteredHost << "\n";
    ASSERT_EQ(chdir(g_scratch.c_str()), 0);
    curl_global_init(CURL_GLOBAL_ALL);
    g_pUrlMem = new HBlockMem(sizeof(tagURL_ITEM), kPoolBlock, kPoolIndex);
  }
  // Tests never free items, so every slot handed out holds a record.
  void TearDown() override {
    for (dword no = 0; no < g_pUrlMem->GetTotalNum(); ++no) {
      static_cast<tagURL_ITEM*>(g_pUrlMem->GetItem(no))->~tagURL_ITEM();
    }
    delete g_pUrlMem;
    g_pUrlMem = nullptr;
    curl_global_cleanup();
    if (chdir("/") == 0) std::filesystem::remove_all(m_root);
  }

 private:
  std::string m_root;
};

::testing::Environment* const g_env =
    ::testing::AddGlobalTestEnvironment(new DownloadEnvironment);

void DrainQueue(List<int>& list) {
  int no;
  while (list.Pop(no)) {
  }
}

}  // namespace

std::string ScratchDir() { return g_scratch; }

int Addr(const char* dotted) {
  struct in_addr a;
  inet_pton(AF_INET, dotted, &a);
  return static_cast<int>(a.s_addr);
}

DownloadHarness::DownloadHarness(const std::string& extraIni)
    : m_inflight(0), m_started(false), m_collected(false) {
  g_bLoadThreadRun = true;
  DrainQueue(g_PendingList);
  DrainQueue(g_WaitingList);
  DrainQueue(g_DoneList);
  std::string path = g_scratch + "/download.ini";
  std::ofstream(path) << kBaseIni << extraIni;
  m_thread.reset(new DownLoadThread("dl-test", 2097152, m_inflight, 0, kParallelPerThread));
  INIFile ini;
  EXPECT_EQ(ini.init(path.c_str()), 0);
  EXPECT_TRUE(m_thread->Create(ini));
}

DownloadHarness::~DownloadHarness() {
  Stop(30);
  m_thread.reset();
  g_bLoadThreadRun = true;
}

tagURL_ITEM* DownloadHarness::NewItem(const std::string& url) {
  int no = -1;
  bool used = false;
  void* slot = g_pUrlMem->Alloc(&no, used);
  EXPECT_NE(slot, nullptr);
  tagURL_ITEM* item = used ? static_cast<tagURL_ITEM*>(slot) : new (slot) tagURL_ITEM();
  *item = tagURL_ITEM();
  item->m_iCurNo = no;
  item->m_iIP = Addr("127.0.0.1");
  item->m_strUrl = url;
  item->m_strDataType = "html";
  return item;
}

void DownloadHarness::Push(tagURL_ITEM* item) { g_PendingList.AddTail(item->m_iCurNo); }

void DownloadHarness::Start() {
  m_started = true;
  m_thread->start();
}

std::vector<int> DownloadHarness::WaitDone(size_t n, int seconds) {
  std::vector<int> done;
  for (int i = 0; i < seconds * kPollsPerSecond && done.size() < n; ++i) {
    int no;
    while (done.size() < n && g_DoneList.Pop(no)) done.push_back(no);
    if (done.size() < n) std::this_thread::sleep_for(kPollPause);
  }
  return done;
}

bool DownloadHarness::Stop(int seconds) {
  g_bLoadThreadRun = false;
  if (!m_started) return true;
  for (int i = 0; i < seconds * kPollsPerSecond; ++i) {
    if (m_thread->state() != T_RUN) break;
    std::this_thread::sleep_for(kPollPause);
  }
  if (m_thread->state() == T_RUN) return false;
  m_thread->join();
  m_started = false;
  return true;
}

// Takes every idle pair out of the pool, notes its item, and puts it back.
void DownloadHarness::CollectResults() {
  std::vector<std::pair<void*, RetData*>> pairs;
  void* curl = nullptr;
  RetData* data = nullptr;
  while (m_thread->GetDoneCurl(&curl, &data)) pairs.emplace_back(curl, data);
  for (auto& p : pairs) {
    if (!m_collected && p.second->m_pstUrlItem != nullptr) m_results[p.second->m_pstUrlItem] = p.second;
    m_thread->Add2DoingCurl(p.first, p.second);
    m_thread->MoveDoingCurl2Done(p.first, false);
  }
  m_collected = true;
}

RetData* DownloadHarness::ResultOf(const tagURL_ITEM* item) {
  if (!m_collected) CollectResults();
  std::map<const tagURL_ITEM*, RetData*>::iterator it = m_results.find(item);
  if (it != m_results.end()) return it->second;
  ADD_FAILURE() << "no record served " << item->m_strUrl;
  static RetData empty;
  return &empty;
}
