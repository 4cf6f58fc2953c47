// Drives one DownLoadThread over the process-wide queues and item pool for
// one test, in a scratch directory whose ../config/ holds the domain filter
// file. One harness at a time per process; used from the test thread only.
#ifndef CRAWLER_TESTS_DOWNLOAD_DOWNLOAD_HARNESS_H_
#define CRAWLER_TESTS_DOWNLOAD_DOWNLOAD_HARNESS_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DownLoadThread.h"
#include "url_item.h"

// Host listed in the domain filter file of every test process.
extern const char kFilteredHost[];

// The scratch directory of this test process (the working directory).
std::string ScratchDir();
// Network-order address of a dotted text.
int Addr(const char* dotted);

class DownloadHarness {
 public:
  // Creates the thread from the base [download] settings plus `extraIni`
  // lines; the test fails when Create fails.
  explicit DownloadHarness(const std::string& extraIni = std::string());
  ~DownloadHarness();
  DownloadHarness(const DownloadHarness&) = delete;
  DownloadHarness& operator=(const DownloadHarness&) = delete;

  DownLoadThread& thread() { return *m_thread; }
  int InFlight() const { return m_inflight; }

  // A fresh item for `url` with the address 127.0.0.1, not yet queued.
  tagURL_ITEM* NewItem(const std::string& url);
  void Push(tagURL_ITEM* item);
  void Start();
  // Waits (bounded by `seconds`) until `n` more items reached the done
  // queue; returns the numbers taken off it.
  std::vector<int> WaitDone(size_t n, int seconds);
  // Clears the run flag and joins the thread (bounded by `seconds`).
  bool Stop(int seconds);
  // After Stop: the record that last served `item`; a blank record (and a
  // test failure) when none did.
  RetData* ResultOf(const tagURL_ITEM* item);

 private:
  void CollectResults();

  int m_inflight;
  std::unique_ptr<DownLoadThread> m_thread;
  bool m_started;
  bool m_collected;
  std::map<const tagURL_ITEM*, RetData*> m_results;
};

#endif  // CRAWLER_TESTS_DOWNLOAD_DOWNLOAD_HARNESS_H_
