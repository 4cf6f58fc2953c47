// The built crawler binary run as an operator runs it: usage and start-up
// failures, the single-instance lock, status lines and shutdown.
#include "process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kpub/threadlock.h"

namespace {

using testsupport::Child;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kCrawler = std::string(CRAWLER_BIN_DIR) + "/crawler";

class CrawlerProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = dir_.File("run");
    ASSERT_EQ(0, mkdir(run_.c_str(), 0755));
    log_ = dir_.File("crawler.log");
    WriteFile(dir_.File("klog.conf"),
              "klog.rootLogger=INFO, F\n"
              "klog.appender.F=FileAppender\n"
              "klog.appender.F.File=" +
                  log_ +
                  "\n"
                  "klog.appender.F.ImmediateFlush=true\n"
                  "klog.appender.F.layout=PatternLayout\n"
                  "klog.appender.F.layout.ConversionPattern=%D|%c|%m%n\n");
  }

  // The sample configuration with this test's own values in front (the
  // first occurrence of a key wins); `drop` names a key to leave out.
  std::string WriteConfig(const std::string& drop = "", int threads = 2) {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"log_file", dir_.File("klog.conf")},
        {"download_thread_count", std::to_string(threads)},
        {"crawler_name", "crawler-test"},
    };
    std::string text = "[crawler]\n";
    for (const auto& kv : keys) {
      if (kv.first != drop) text += kv.first + " = " + kv.second + "\n";
    }
    std::istringstream sample(ReadFile(std::string(CRAWLER_SOURCE_DIR) + "/config/crawler.ini"));
    std::regex dropped("^\\s*" + (drop.empty() ? std::string("$^") : drop) + "\\s*=.*");
    for (std::string line; std::getline(sample, line);) {
      if (!std::regex_match(line, dropped)) text += line + "\n";
    }
    std::string path = dir_.File("crawler.ini");
    WriteFile(path, text);
    return path;
  }

  int RunToEnd(const std::vector<std::string>& args) {
    Child child;
    std::vector<std::string> argv = {kCrawler};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_TRUE(child.Start(argv, run_, {"vorn_pid_dir=" + dir_.path()}, dir_.File("out"),
                            dir_.File("err")));
    return child.Wait(30000);
  }

  // Runs the crawler until three status lines are out, then sends SIGTERM
  // twice; returns the log.
  std::string RunAndStop(const std::string& config, const std::string& log) {
    Child child;
    EXPECT_TRUE(child.Start({kCrawler, "-c", "/nonexistent-first", "-c", config}, run_,
                            {"vorn_pid_dir=" + dir_.path()}, dir_.File("out"), dir_.File("err")));
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
          std::string text = ReadFile(log);
          size_t n = 0;
          for (size_t p = text.find("pending_cnt:"); p != std::string::npos;
               p = text.find("pending_cnt:", p + 1)) {
            ++n;
          }
          return n >= 3;
        },
        10000));
    child.Signal(SIGTERM);
    usleep(500000);
    child.Signal(SIGTERM);
    EXPECT_EQ(0, child.Wait(20000));
    return ReadFile(log);
  }

  std::string Out() { return ReadFile(dir_.File("out")); }
  std::string Err() { return ReadFile(dir_.File("err")); }

  TempDir dir_;
  std::string run_;
  std::string log_;
};

TEST_F(CrawlerProcess, UsageErrorWithoutConfig) {
  struct Case {
    std::vector<std::string> args;
  } cases[] = {{{}}, {{"-c", ""}}, {{"-x"}}};
  for (const Case& c : cases) {
    EXPECT_EQ(255, RunToEnd(c.args));
    EXPECT_NE(std::string::npos, Err().find("Usage: " + kCrawler + " -c config-file")) << Err();
  }
}

TEST_F(CrawlerProcess, StartupFailuresNameTheirCause) {
  struct Case {
    std::string drop;
    std::string message;
    bool threadMain;
  } cases[] = {
      {"log_file", "please set [crawler] log_file in config file", false},
      {"crawler_name", "please set [crawler] crawler_name in config file", true},
      {"data_catogory", "please set [crawler] data_catogory in config file", true},
      {"download_thread_count", "please set [crawler] download_thread_count in config file", true},
  };
  for (const Case& c : cases) {
    unlink(log_.c_str());
    EXPECT_EQ(255, RunToEnd({"-c", WriteConfig(c.drop)})) << c.drop;
    std::string all = Err() + Out() + ReadFile(log_);
    EXPECT_NE(std::string::npos, all.find(c.message)) << all;
    if (c.threadMain) {
      std::string log = ReadFile(log_);
      EXPECT_NE(std::string::npos, log.find("CreateThread fail.")) << log;
      EXPECT_NE(std::string::npos, log.find("ThreadMain fail.")) << log;
    }
  }
}

TEST_F(CrawlerProcess, UnreadableConfigFile) {
  std::string missing = dir_.File("missing.ini");
  EXPECT_EQ(255, RunToEnd({"-c", missing}));
  EXPECT_NE(std::string::npos, Err().find("open inifile [" + missing + "] error.")) << Err();
  EXPECT_NE(std::string::npos, Err().find("INIFile init fail. config-file is: " + missing))
      << Err();
}

TEST_F(CrawlerProcess, LockFileOfTheSamePidRefusesTheSecondInstance) {
  Child child;
  ASSERT_TRUE(child.StartHeld({kCrawler, "-c", WriteConfig()}, run_,
                              {"vorn_pid_dir=" + dir_.path()}, dir_.File("out"), dir_.File("err")));
  // This test process holds the lock file that the child will name after
  // its own pid.
  std::string lockPath = dir_.File(std::to_string(child.pid()));
  KPub::kFileLock lock(lockPath.c_str(), 0, 0);
  ASSERT_TRUE(lock.trylock());
  child.Release();
  EXPECT_EQ(1, child.Wait(30000));
  EXPECT_EQ("dup crawler\n", Out());
}

TEST_F(CrawlerProcess, LockFileDefaultsToParentOfWorkingDirectory) {
  Child child;
  ASSERT_TRUE(child.Start({kCrawler}, run_, {}, dir_.File("out"), dir_.File("err")));
  EXPECT_EQ(255, child.Wait(30000));
  EXPECT_EQ(0, access(dir_.File(std::to_string(child.pid())).c_str(), F_OK));
}

TEST_F(CrawlerProcess, StatusLinesEverySecondThenSigtermTwiceExitsNormally) {
  struct Case {
    int threads;
    int slots;
  } cases[] = {{2, 64}, {0, 0}};
  for (const Case& c : cases) {
    unlink(log_.c_str());
    std::string log = RunAndStop(WriteConfig("", c.threads), log_);
    EXPECT_NE(std::string::npos, log.find("|search.download|now start crawler.\n"));
    EXPECT_NE(std::string::npos, log.find("|search.download|exit normally.\n"));
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
    const std::string slots = std::to_string(c.slots);
    std::regex audit(stamp + R"(\|search\.download\.common\.audit\|\temit\t()" + stamp +
                     R"()\tcrawler_host:[^\t]+\tcrawler_name:crawler-test\tthread_cnt:)" + slots +
                     R"(\tdownloading_cnt:0\tmodule:crawler)");
    std::regex status(
        stamp +
        R"(\|search\.download\|crawler_host:[^\t]+\tcrawler_name:crawler-test\tthread_cnt:)" +
        slots + R"(\tdownloading_cnt:0\tpending_cnt:0)");
    int audits = 0, statuses = 0;
    std::vector<std::string> seconds;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      if (std::regex_match(line, m, audit)) {
        ++audits;
        seconds.push_back(m[1].str());
      }
      if (std::regex_match(line, status)) ++statuses;
    }
    EXPECT_GE(audits, 3) << log;
    EXPECT_EQ(audits, statuses);
    for (size_t i = 1; i < seconds.size(); ++i) EXPECT_NE(seconds[i - 1], seconds[i]);
  }
}

}  // namespace
