// The download engine under the operator's eyes: the in-flight count of the
// status lines rises and falls with the transfers, and SIGTERM lets the
// transfers in flight finish before the download threads end.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crawl_run.h"
#include "process.h"
#include "record_file.h"

namespace e2e {

namespace {

constexpr int kItems = 40;
constexpr int kCrawlMs = 90000;
const char kHosts[] = "127.0.0.1 slow.site.test\n";

// Each answer takes two seconds: long enough for every item to be in flight
// at once (40 of the 64 slots), short enough for a test.
const Routes& SlowRoutes() {
  static const Routes routes = {{"/slow", {{"body", "<html>late</html>"}, {"delay", "2"}}}};
  return routes;
}

std::string SlowUrls() {
  std::string urls;
  for (int i = 0; i < kItems; ++i) {
    urls += "http://slow.site.test:PORT/slow?i=" + std::to_string(i) + "\n";
  }
  return urls;
}

// downloading_cnt of every status audit line, in order.
std::vector<int> InFlightCounts(const std::string& audit) {
  std::vector<int> counts;
  for (const std::string& line : Lines(audit)) {
    if (line.find("\tthread_cnt:") == std::string::npos) continue;
    counts.push_back(atoi(AuditField(line, "downloading_cnt").c_str()));
  }
  return counts;
}

int CountOk(const std::string& records) {
  int ok = 0;
  for (const Record& r : ParseRecords(records)) ok += r.Field("errno") == "0";
  return ok;
}

TEST(Engine, InFlightCountRisesAndFallsAndEveryItemComesBack) {
  CrawlRun run;
  ASSERT_TRUE(run.Start(kHosts, "", SlowRoutes(), SlowUrls(), ""));
  ASSERT_TRUE(run.WaitFinished(kItems, kCrawlMs));
  // One more status line after the last item ended.
  size_t seen = InFlightCounts(run.Audit()).size();
  ASSERT_TRUE(
      testsupport::WaitUntil([&] { return InFlightCounts(run.Audit()).size() > seen + 1; }, 5000));

  std::vector<int> counts = InFlightCounts(run.Audit());
  int peak = *std::max_element(counts.begin(), counts.end());
  EXPECT_GT(peak, 1);
  EXPECT_LE(peak, 64);
  EXPECT_EQ(0, counts.back());
  EXPECT_EQ(kItems, CountOk(run.Records()));
}

TEST(Engine, SigtermLetsTransfersInFlightFinish) {
  CrawlRun run;
  ASSERT_TRUE(run.Start(kHosts, "", SlowRoutes(), SlowUrls(), ""));
  int inFlight = 0;
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] {
        std::vector<int> counts = InFlightCounts(run.Audit());
        inFlight = counts.empty() ? 0 : counts.back();
        return inFlight >= 10;
      },
      kCrawlMs));
  run.Signal(SIGTERM);

  // Both download threads end once their transfers are done, well inside the
  // grace period, and every transfer in flight yields its page record.
  auto exits = [&] {
    int n = 0;
    for (const std::string& line : Lines(run.Messages())) {
      n += line.size() > 6 && line.compare(line.size() - 6, 6, ": exit") == 0;
    }
    return n;
  };
  ASSERT_TRUE(testsupport::WaitUntil([&] { return exits() >= 2; }, 30000)) << run.Messages();
  EXPECT_GE(CountOk(run.Records()), inFlight);
  EXPECT_EQ(std::string::npos, run.Messages().find("exit normally."));

  run.Signal(SIGTERM);
  EXPECT_EQ(0, run.Exit(20000));
  EXPECT_NE(std::string::npos, run.Messages().find("exit normally."));
}

}  // namespace

}  // namespace e2e
