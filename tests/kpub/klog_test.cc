// Logging facade: formatting limits, error suffix, throw flag, configuration
// conventions and the watcher, observed through real appenders writing files.
#include "kpub/klog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "kpub/klog_internal.h"
#include "log_capture.h"

namespace {

std::string TempPath(const std::string& name) {
  return "/tmp/klog_test_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
}

// Routes every logger to `file` with the message-only pattern.
void ConfigureToFile(const std::string& file, const std::string& pattern = "%m%n",
                     const std::string& level = "TRACE") {
  unlink(file.c_str());
  testsupport::LogToFile(file, pattern, level);
}

class KlogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = TempPath("out.log");
    ConfigureToFile(file_);
  }
  void TearDown() override { unlink(file_.c_str()); }
  std::string file_;
};

TEST_F(KlogTest, NullFormatLogsNothingAndNeverThrows) {
  EXPECT_NO_THROW(KPub::kLogAll("t", KPub::ERROR, 0, true, __FILE__, __LINE__, nullptr));
  EXPECT_EQ("", ReadAll(file_));
}

TEST_F(KlogTest, MessageIsCutAtTheWorkBuffer) {
  struct Case {
    size_t length;
    size_t logged;
  } cases[] = {{204799, 204799}, {204800, 204799}, {300000, 204799}, {10, 10}};
  for (const Case& c : cases) {
    ConfigureToFile(file_);
    std::string text(c.length, 'a');
    KLOG("t", KPub::INFO, "%s", text.c_str());
    EXPECT_EQ(std::string(c.logged, 'a') + "\n", ReadAll(file_)) << c.length;
  }
}

TEST_F(KlogTest, ErrorNumberSuffixKeepsTrailingNewlineLast) {
  const std::string text13 = strerror(13);
  KLOG_ERRNO("t", KPub::INFO, 13, "open failed\n");
  KLOG_ERRNO("t", KPub::INFO, 13, "open failed");
  KLOG_ERRNO("t", KPub::INFO, 13, "%s", "");
  EXPECT_EQ("open failed -- (13)" + text13 + "\n\n" + "open failed -- (13)" + text13 + "\n" +
                " -- (13)" + text13 + "\n",
            ReadAll(file_));
}

TEST_F(KlogTest, ThrowFlagThrowsFormattedTextEvenWhenDisabled) {
  ConfigureToFile(file_, "%m%n", "OFF");
  try {
    KLOG_THROW("t", KPub::ERROR, "please set [%s] %s in config file", "crawler", "log_file");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("please set [crawler] log_file in config file", e.what());
  }
  EXPECT_EQ("", ReadAll(file_));
  EXPECT_FALSE(KPub::isLog("t", KPub::FATAL));
}

TEST_F(KlogTest, ThrowFlagAlsoLogsWhenEnabled) {
  EXPECT_THROW(KLOG_THROW("t", KPub::ERROR, "fatal %d", 7), std::runtime_error);
  EXPECT_EQ("fatal 7\n", ReadAll(file_));
}

TEST_F(KlogTest, StreamFormHasNoLimitAndAppendsErrorNumber) {
  std::string big(300000, 'b');
  KLOG_STREAM("search.download.scribe", KPub::INFO) << big;
  KPub::logstream("t", KPub::INFO, 2, __FILE__, __LINE__).l_value() << "x=" << 5;
  EXPECT_EQ(big + "\nx=5 -- (2)" + strerror(2) + "\n", ReadAll(file_));
}

TEST_F(KlogTest, LevelThresholdsApplyPerLogger) {
  KPub::ConfigList list = {
      {"klog.appender.F", "FileAppender"},       {"klog.appender.F.File", file_},
      {"klog.appender.F.layout", "SimpleLayout"}, {"klog.rootLogger", "WARN, F"},
      {"klog.logger.a.b", "DEBUG"},
  };
  unlink(file_.c_str());
  KPub::kLogConfig(list);
  EXPECT_TRUE(KPub::isLog("a.b.c", KPub::DEBUG));
  EXPECT_FALSE(KPub::isLog("a", KPub::INFO));
  EXPECT_FALSE(KPub::isLog("", KPub::INFO));
  KLOG("a", KPub::INFO, "hidden");
  KLOG("a.b", KPub::DEBUG, "shown");
  EXPECT_EQ("DEBUG - shown\n", ReadAll(file_));
}

TEST_F(KlogTest, PatternKnowsProcessIdAndPlainDates) {
  ConfigureToFile(file_, "%D|%d|%P|%p|%c|%m%n");
  KLOG("search.thread", KPub::WARN, "hello");
  std::string line = ReadAll(file_);
  std::regex re(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\|\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\|(\d+)\|WARN\|search.thread\|hello\n)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(line, m, re)) << line;
  EXPECT_EQ(std::to_string(getpid()), m[1].str());
}

TEST(LevelString, NamesLevelNumbers) {
  struct Case {
    int level;
    const char* name;
  } cases[] = {{KPub::TRACE, "TRACE"}, {KPub::DEBUG, "DEBUG"}, {KPub::INFO, "INFO"},
               {KPub::WARN, "WARN"},   {KPub::ERROR, "ERROR"}, {KPub::FATAL, "FATAL"},
               {KPub::OFF, "OFF"},     {-1, "NOTSET"},         {12345, "UNKNOWN"}};
  for (const Case& c : cases) EXPECT_EQ(c.name, KPub::LevelString(c.level)) << c.level;
}

TEST(DefaultConsole, RootLoggerNamesTheAppendersOfTheLevel) {
  struct Case {
    int level;
    const char* root;
    size_t keys;
  } cases[] = {{KPub::INFO, "INFO, ROOT_INFO, ROOT_ERROR", 15},
               {KPub::TRACE, "TRACE, ROOT_INFO, ROOT_ERROR", 15},
               {KPub::WARN, "WARN, ROOT_ERROR", 7},
               {KPub::FATAL, "FATAL, ROOT_ERROR", 7},
               {KPub::OFF, "OFF, ROOT_NULL", 2}};
  for (const Case& c : cases) {
    KPub::ConfigList list = KPub::DefaultConsoleList(c.level);
    ASSERT_EQ(c.keys, list.size()) << c.level;
    EXPECT_EQ("klog.rootLogger", list.back().first);
    EXPECT_EQ(c.root, list.back().second);
  }
}

TEST(DefaultConsole, InfoGoesToStdoutAndWarnAlsoToStderr) {
  KPub::defaultConsole(KPub::INFO);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  KLOG("c", KPub::INFO, "to-out");
  KLOG("c", KPub::WARN, "to-both");
  std::cout.flush();
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, out.find("[INFO] [c] to-out")) << out;
  EXPECT_NE(std::string::npos, out.find("[WARN] [c] to-both")) << out;
  EXPECT_EQ(std::string::npos, err.find("to-out")) << err;
  EXPECT_NE(std::string::npos, err.find("[WARN] [c] [")) << err;
}

TEST(ConfigFile, WithoutAppenderKeysIsRejected) {
  std::string good = TempPath("good.conf");
  std::string bad = TempPath("bad.conf");
  std::string out = TempPath("cfg.log");
  WriteFile(good, "klog.rootLogger=INFO, F\nklog.appender.F=FileAppender\nklog.appender.F.File=" +
                      out + "\nklog.appender.F.layout=PatternLayout\n"
                            "klog.appender.F.layout.ConversionPattern=%m%n\n");
  WriteFile(bad, "klog.rootLogger=INFO, G\nklog.logger.x=DEBUG\n");
  EXPECT_TRUE(KPub::isConfigFile(good));
  EXPECT_FALSE(KPub::isConfigFile(bad));
  EXPECT_FALSE(KPub::isConfigFile(TempPath("missing.conf")));

  KPub::kLogConfig(good);
  testing::internal::CaptureStderr();
  KPub::kLogConfig(bad);
  KPub::kLogConfig(std::string());
  KPub::kLogConfig(TempPath("missing.conf"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("klog: ERROR Invalid klog config format")) << err;
  EXPECT_NE(std::string::npos, err.find("klog: ERROR kLogConfig() no configfile")) << err;
  EXPECT_NE(std::string::npos,
            err.find("klog: ERROR kLogConfig() Unable to open file: " + TempPath("missing.conf")))
      << err;

  KLOG("x", KPub::INFO, "still the good one");
  EXPECT_EQ("still the good one\n", ReadAll(out));
  for (const std::string& f : {good, bad, out}) unlink(f.c_str());
}

TEST(ConfigFile, DependencyDiagnosticsCarryOurPrefix) {
  testing::internal::CaptureStderr();
  KPub::kLogConfig(KPub::ConfigList{{"klog.appender.X", "NoSuchAppender"},
                                    {"klog.rootLogger", "INFO, X"}});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("klog: ERROR ")) << err;
  EXPECT_NE(std::string::npos, err.find("NoSuchAppender")) << err;
  EXPECT_EQ(std::string::npos, err.find("log4cplus:")) << err;
}

TEST(ConfigFile, UnqualifiedTypeNamesAndFilters) {
  std::string out = TempPath("filters.log");
  unlink(out.c_str());
  KPub::ConfigList list = {
      {"klog.appender.R", "RollingFileAppender"},
      {"klog.appender.R.File", out},
      {"klog.appender.R.layout", "TTCCLayout"},
      {"klog.appender.R.filters.1", "StringMatchFilter"},
      {"klog.appender.R.filters.1.StringToMatch", "secret"},
      {"klog.appender.R.filters.1.AcceptOnMatch", "false"},
      {"klog.appender.N", "NullAppender"},
      {"klog.rootLogger", "INFO, R, N"},
  };
  KPub::kLogConfig(list);
  KLOG("f", KPub::INFO, "public line");
  KLOG("f", KPub::INFO, "secret line");
  std::string text = ReadAll(out);
  EXPECT_NE(std::string::npos, text.find("public line"));
  EXPECT_EQ(std::string::npos, text.find("secret line"));
  unlink(out.c_str());
}

TEST(Monitor, ReloadsWhenModificationTimeAdvances) {
  std::string conf = TempPath("watched.conf");
  std::string first = TempPath("first.log");
  std::string second = TempPath("second.log");
  auto configFor = [](const std::string& file) {
    return "klog.rootLogger=INFO, F\nklog.appender.F=FileAppender\nklog.appender.F.File=" + file +
           "\nklog.appender.F.layout=PatternLayout\nklog.appender.F.layout.ConversionPattern=%m%n\n";
  };
  WriteFile(conf, configFor(first));
  {
    KPub::kLogMonitor monitor(conf, 1000);
    KLOG("m", KPub::INFO, "one");
    EXPECT_EQ("one\n", ReadAll(first));

    // Same modification time: not reloaded.
    struct stat st;
    ASSERT_EQ(0, stat(conf.c_str(), &st));
    WriteFile(conf, configFor(second));
    struct utimbuf same = {st.st_mtime, st.st_mtime};
    utime(conf.c_str(), &same);
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    KLOG("m", KPub::INFO, "two");
    EXPECT_EQ("one\ntwo\n", ReadAll(first));

    struct utimbuf later = {st.st_mtime + 10, st.st_mtime + 10};
    utime(conf.c_str(), &later);
    bool switched = false;
    for (int i = 0; i < 50 && !switched; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      KLOG("m", KPub::INFO, "three");
      switched = ReadAll(second).find("three") != std::string::npos;
    }
    EXPECT_TRUE(switched);
  }
  for (const std::string& f : {conf, first, second}) unlink(f.c_str());
}

}  // namespace
