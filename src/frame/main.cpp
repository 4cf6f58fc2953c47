// Entry point: single-instance lock, options, signals, logging set-up, then
// the start-up, monitor loop and shutdown of ThreadMain.
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "INIFile.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "kpub/threadlock.h"
#include "lifecycle.h"

namespace {

const char kLogger[] = "search.download";
constexpr size_t kConfigPathBuffer = 257;
constexpr unsigned kLogWatchMillis = 60000;
// Exit status of every failure before the threads exist: usage errors,
// an unreadable configuration or lock file.
constexpr int kStartFailure = 255;

std::string PidLockPath() {
  const char* dir = getenv("vorn_pid_dir");
  std::string pid = std::to_string(getpid());
  return dir != nullptr ? std::string(dir) + "/" + pid : "../" + pid;
}

// The argument of the last -c, cut to 256 characters; empty when absent.
std::string ConfigPath(int argc, char** argv) {
  char path[kConfigPathBuffer] = "";
  int opt;
  while ((opt = getopt(argc, argv, "c:")) != -1) {
    if (opt == 'c') strlcpy(path, optarg, sizeof path);
  }
  return path;
}

// SIGTERM stays blocked until the workers are started, so every thread
// inherits the block and the signal always reaches the main thread, whose
// sleeps it must interrupt.
void InstallSignals() {
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  struct sigaction sa = {};
  sa.sa_handler = sig_process;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
}

// The logging configuration path from the INI file; throws after logging.
std::string LogConfigPath(const std::string& config) {
  INIFile ini;
  if (ini.init(config.c_str()) != 0) {
    KLOG_THROW(kLogger, KPub::ERROR, "INIFile init fail. config-file is: %s", config.c_str());
  }
  const char* logFile = ini.read("crawler", "log_file");
  if (logFile == nullptr) {
    KLOG_THROW(kLogger, KPub::ERROR, "please set [%s] %s in config file", "crawler", "log_file");
  }
  return logFile;
}

int Run(const std::string& config) {
  std::string logFile;
  try {
    logFile = LogConfigPath(config);
  } catch (const std::exception&) {
    return kStartFailure;
  }
  KPub::kLogConfig(logFile);
  KPub::kLogMonitor monitor(logFile, kLogWatchMillis);
  KLOG(kLogger, KPub::INFO, "now start crawler.");
  if (!ThreadMain(config.c_str())) {
    KLOG(kLogger, KPub::ERROR, "ThreadMain fail.");
    return kStartFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<KPub::kFileLock> lock;
  try {
    lock.reset(new KPub::kFileLock(PidLockPath().c_str(), 0, 0));
  } catch (const std::runtime_error& e) {
    KLOG(kLogger, KPub::ERROR, "%s", e.what());
    return kStartFailure;
  }
  if (!lock->trylock()) {
    printf("dup crawler\n");
    return 1;
  }
  std::string config = ConfigPath(argc, argv);
  if (config.empty()) {
    KLOG(kLogger, KPub::ERROR, "Usage: %s -c config-file", argv[0]);
    return kStartFailure;
  }
  InstallSignals();
  return Run(config);
}
