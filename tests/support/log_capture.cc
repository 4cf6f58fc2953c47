#include "log_capture.h"

#include "kpub/klog.h"

namespace testsupport {

void LogToFile(const std::string& file, const std::string& pattern, const std::string& level) {
  KPub::kLogConfig(KPub::ConfigList{
      {"klog.appender.F", "FileAppender"},
      {"klog.appender.F.File", file},
      {"klog.appender.F.ImmediateFlush", "true"},
      {"klog.appender.F.layout", "PatternLayout"},
      {"klog.appender.F.layout.ConversionPattern", pattern},
      {"klog.rootLogger", level + ", F"},
  });
}

}  // namespace testsupport
