// Helpers of the name-resolution tests over the shared test support: the
// DNS cache simulator, files in a scratch directory and log capture. Each
// object belongs to one test thread.
#ifndef TESTS_SINAN_TEST_SUPPORT_H_
#define TESTS_SINAN_TEST_SUPPORT_H_

#include <string>
#include <vector>

#include "process.h"

namespace crawler_test {

using testsupport::ReadFile;
using testsupport::TempDir;

// Writes `content` to dir/name and returns the full name.
std::string WriteIn(const TempDir& dir, const std::string& name, const std::string& content);

// A socket of `type` (SOCK_STREAM, SOCK_DGRAM) bound to 127.0.0.1 on a free
// port, written to `port`.
int BindLoopback(int type, int& port);

// Number of lines of `text` that equal `line`.
int CountLines(const std::string& text, const std::string& line);

// The DNS cache simulator serving `hosts` (hosts-file text) on a free port.
class SinanSim {
 public:
  bool Start(const TempDir& dir, const std::string& hosts,
             const std::vector<std::string>& extra = {});
  int port() const { return m_port; }
  // Look-ups the simulator has answered for `host` so far.
  int Asked(const std::string& host) const;

 private:
  testsupport::Child m_proc;
  std::string m_out;
  int m_port = 0;
};

// Sends every log line ("LEVEL logger message") to `file`.
void LogToFile(const std::string& file);

}  // namespace crawler_test

#endif  // TESTS_SINAN_TEST_SUPPORT_H_
