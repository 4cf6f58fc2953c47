// Test support: routes every logger to one file through a real appender.
#ifndef CRAWLER_TESTS_SUPPORT_LOG_CAPTURE_H_
#define CRAWLER_TESTS_SUPPORT_LOG_CAPTURE_H_

#include <string>

namespace testsupport {

// Replaces the logging configuration: the root logger at `level` writes
// each event to `file` with `pattern`, flushed at once.
void LogToFile(const std::string& file, const std::string& pattern = "[%c]%m%n",
               const std::string& level = "INFO");

}  // namespace testsupport

#endif  // CRAWLER_TESTS_SUPPORT_LOG_CAPTURE_H_
