// Logging calls of the facade: formatting, the message cut, the error-number
// suffix and the throw flag.
#include "kpub/klog.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>

#include <stdexcept>

#include "kpub/klog_internal.h"

namespace KPub {

namespace {

constexpr int kWorkBuffer = kLogMessageMax + 1;

log4cplus::Logger LoggerFor(const std::string& name) {
  return name.empty() ? log4cplus::Logger::getRoot() : log4cplus::Logger::getInstance(name);
}

std::string ErrnoText(int eNo) {
  char buf[256];
  return strerror_r(eNo, buf, sizeof buf);
}

// Appends " -- (eNo)text" at buf[n], keeping a trailing newline last.
int AppendErrno(char* buf, int n, int eNo) {
  const char* fmt = " -- (%d)%s";
  if (n > 0 && buf[n - 1] == '\n') {
    --n;
    fmt = " -- (%d)%s\n";
  }
  int added = snprintf(buf + n, kWorkBuffer - n, fmt, eNo, ErrnoText(eNo).c_str());
  if (added > 0) n += added;
  return n > kLogMessageMax ? kLogMessageMax : n;
}

}  // namespace

void kLogAll(const std::string& name, int level, int eNo, bool bThrow, const char* file,
             int line, const char* fmt, ...) {
  if (fmt == nullptr) return;
  init();
  log4cplus::Logger logger = LoggerFor(name);
  const bool enabled = logger.isEnabledFor(level);
  if (!enabled && !bThrow) return;

  char buf[kWorkBuffer];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) n = 0;
  if (n > kLogMessageMax) n = kLogMessageMax;
  if (eNo != 0) n = AppendErrno(buf, n, eNo);

  if (enabled) logger.forcedLog(level, std::string(buf, n), file, line);
  if (bThrow) throw std::runtime_error(std::string(buf, n));
}

bool isLog(const std::string& name, int level) {
  init();
  return LoggerFor(name).isEnabledFor(level);
}

void kLogAllStream(const std::string& name, int level, const std::string& message,
                   const char* file, int line) {
  log4cplus::Logger logger = LoggerFor(name);
  if (logger.isEnabledFor(level)) logger.forcedLog(level, message, file, line);
}

std::string LevelString(int level) { return log4cplus::getLogLevelManager().toString(level); }

logstream::logstream(const std::string& name, int level, int eNo, const char* file, int line)
    : m_name(name), m_level(level), m_eNo(eNo), m_file(file), m_line(line) {}

logstream::~logstream() {
  if (!isLog(m_name, m_level)) return;
  std::string text = str();
  if (m_eNo != 0) text += " -- (" + std::to_string(m_eNo) + ")" + ErrnoText(m_eNo);
  kLogAllStream(m_name, m_level, text, m_file, m_line);
}

}  // namespace KPub
