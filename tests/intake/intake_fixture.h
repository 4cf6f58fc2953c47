// Shared set-up of the intake tests: the item pool and queues, ten download
// threads' in-flight counters, logging into a file, and a configuration
// pointing at a given dispatcher port.
#ifndef TESTS_INTAKE_INTAKE_FIXTURE_H_
#define TESTS_INTAKE_INTAKE_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "PullDataT.h"
#include "globals.h"
#include "kpub/klog.h"
#include "log_capture.h"
#include "process.h"

class IntakeTest : public ::testing::Test {
 protected:
  static constexpr int kThreads = 10;

  void SetUp() override {
    if (g_pUrlMem == nullptr) g_pUrlMem = new HBlockMem(sizeof(tagURL_ITEM), 64, 16);
    g_iDownLoadThreadCount = kThreads;
    g_pDownLoading = m_inflight;
    g_bLoadThreadRun = true;
    m_log = m_dir.File("crawler.log");
    testsupport::LogToFile(m_log);
    testsupport::WriteFile(m_dir.File("psl.dat"), "com\n");
  }
  void TearDown() override {
    Drain(g_PendingList);
    Drain(g_DoneList);
    Drain(g_WaitingList);
  }

  static void Drain(List<int>& list) {
    int no;
    while (list.Pop(no)) g_pUrlMem->FreeOneItem(static_cast<dword>(no));
  }
  std::string Config(
      const std::string& servers,
      const std::string& crawler = "crawler_clus=clus\ncrawler_name=spider1\ndns_type=local\n",
      const std::string& name = "crawler.ini") {
    std::string path = m_dir.File(name);
    testsupport::WriteFile(path, "[crawler]\n" + crawler + "[ServerList]\nserver_addrs=" + servers +
                                     "\n[TldsDict]\ndict=" + m_dir.File("psl.dat") + "\n");
    return path;
  }
  static std::string Addr(int port) { return "127.0.0.1:" + std::to_string(port); }
  std::string Log() { return testsupport::ReadFile(m_log); }
  static std::vector<int> Pending() {
    std::vector<int> out;
    List<int> copy;
    copy.Merger(g_PendingList);
    int no;
    while (copy.Pop(no)) {
      out.push_back(no);
      g_PendingList.AddTail(no);
    }
    return out;
  }

  testsupport::TempDir m_dir;
  std::string m_log;
  int m_inflight[kThreads] = {};
};

#endif  // TESTS_INTAKE_INTAKE_FIXTURE_H_
