// Logging facade over log4cplus: printf-style and stream logging by logger
// name, configuration from "klog."-prefixed property files, and a watcher that
// reloads the configuration when its file changes.
// Thread-safety: kLogAll, isLog and logstream may be called from any thread;
// the configuration calls are made by the main thread before others start
// (the watcher reconfigures under the hierarchy lock).
#ifndef KPUB_KLOG_H_
#define KPUB_KLOG_H_

#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace log4cplus {
namespace helpers {
class Properties;
}
}  // namespace log4cplus

namespace KPub {

enum KLEVEL {
  ALL = 0,
  TRACE = 0,
  DEBUG = 10000,
  INFO = 20000,
  WARN = 30000,
  ERR = 40000,
  ERROR = 40000,
  FATAL = 50000,
  OFF = 60000
};

// Longest message kLogAll emits: the work buffer is one byte larger.
constexpr int kLogMessageMax = 204799;

typedef std::list<std::pair<std::string, std::string> > ConfigList;

// Formats and logs one message on logger `name` (empty = root). A non-zero
// eNo appends " -- (eNo)strerror". With bThrow the formatted text is thrown
// as std::runtime_error after logging, whatever the logger's level.
void kLogAll(const std::string& name, int level, int eNo, bool bThrow, const char* file,
             int line, const char* fmt, ...) __attribute__((format(printf, 7, 8)));
bool isLog(const std::string& name, int level);
void kLogAllStream(const std::string& name, int level, const std::string& message,
                   const char* file, int line);
std::string LevelString(int level);

void kLogConfig(const std::string& configfile);
void kLogConfig(const ConfigList& mlist);
bool reConfig(const log4cplus::helpers::Properties& props);
bool isConfigFile(const std::string& configfile);
void defaultConsole(int level);
void init();

// Stream form without length limit: the message is emitted when the
// temporary is destroyed at the end of the full expression.
class logstream : public std::ostringstream {
 public:
  logstream(const std::string& name, int level, int eNo, const char* file, int line);
  ~logstream() override;
  std::ostream& l_value() { return *this; }

 private:
  std::string m_name;
  int m_level;
  int m_eNo;
  const char* m_file;
  int m_line;
};

class ConfigWatcher;

// Keeps the logging configuration in step with `filename`, checked every
// `millis` milliseconds (at least once a second).
class kLogMonitor {
 public:
  kLogMonitor(const std::string& filename, unsigned millis);
  ~kLogMonitor();
  kLogMonitor(const kLogMonitor&) = delete;
  kLogMonitor& operator=(const kLogMonitor&) = delete;

 private:
  std::unique_ptr<ConfigWatcher> handle;
};

}  // namespace KPub

#define KLOG(name, level, fmt, ...) \
  KPub::kLogAll(name, level, 0, false, __FILE__, __LINE__, fmt, ##__VA_ARGS__)
#define KLOG_ERRNO(name, level, eno, fmt, ...) \
  KPub::kLogAll(name, level, eno, false, __FILE__, __LINE__, fmt, ##__VA_ARGS__)
#define KLOG_THROW(name, level, fmt, ...) \
  KPub::kLogAll(name, level, 0, true, __FILE__, __LINE__, fmt, ##__VA_ARGS__)
#define KLOG_STREAM(name, level) \
  KPub::logstream(name, level, 0, __FILE__, __LINE__).l_value()

#endif  // KPUB_KLOG_H_
