// The configuration watcher: reloads the logging configuration when its
// file's modification time advances.
#include <sys/stat.h>
#include <time.h>

#include <log4cplus/helpers/property.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "kpub/klog.h"
#include "kpub/klog_internal.h"

namespace KPub {

// Owns the watching thread; destruction stops it and waits for it.
class ConfigWatcher {
 public:
  ConfigWatcher(const std::string& file, unsigned millis)
      : m_file(file), m_seconds(millis / 1000 < 1 ? 1 : millis / 1000), m_stop(false) {
    log4cplus::helpers::Properties props;
    if (ReadProperties(m_file, props)) ConfigureFrom(props);
    m_mtime = ModTime();
    m_thread = std::thread(&ConfigWatcher::Loop, this);
  }

  ~ConfigWatcher() {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
  }

 private:
  // The newest of the file's and, for a link, the link's own time; now when
  // the file cannot be examined.
  time_t ModTime() const {
    struct stat st;
    if (stat(m_file.c_str(), &st) != 0) return time(nullptr);
    time_t t = st.st_mtime;
    if (lstat(m_file.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_mtime > t) t = st.st_mtime;
    return t;
  }

  bool Changed() const {
    struct stat st;
    if (stat(m_file.c_str(), &st) != 0) return false;
    if (st.st_mtime > m_mtime) return true;
    return lstat(m_file.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_mtime > m_mtime;
  }

  void Reload() {
    std::lock_guard<std::mutex> guard(ConfigMutex());
    ResetHierarchy();
    log4cplus::helpers::Properties props;
    if (ReadProperties(m_file, props)) ConfigureFrom(props);
    m_mtime = ModTime();
  }

  void Loop() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop) {
      m_wake.wait_for(lock, std::chrono::seconds(m_seconds), [this] { return m_stop; });
      if (m_stop) break;
      lock.unlock();
      if (Changed()) Reload();
      lock.lock();
    }
  }

  const std::string m_file;
  const unsigned m_seconds;
  time_t m_mtime;
  std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_stop;  // guarded by m_lock
  std::thread m_thread;
};

kLogMonitor::kLogMonitor(const std::string& filename, unsigned millis) {
  InitDependency();
  if (isConfigFile(filename)) {
    std::lock_guard<std::mutex> guard(ConfigMutex());
    ResetHierarchy();
  } else {
    defaultConsole(INFO);
  }
  handle.reset(new ConfigWatcher(filename, millis));
  isAppenderInit = true;
}

kLogMonitor::~kLogMonitor() = default;

}  // namespace KPub
