// Helpers of the name-resolution tests: a scratch directory, child processes
// whose standard output goes to a file, the DNS cache simulator and log
// capture. Each object belongs to one test thread.
#ifndef TESTS_SINAN_TEST_SUPPORT_H_
#define TESTS_SINAN_TEST_SUPPORT_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace crawler_test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  // Writes `content` to path()/name and returns the full name.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string m_path;
};

std::string ReadFile(const std::string& path);

class ChildProcess {
 public:
  ChildProcess() : m_pid(-1) {}
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Runs argv[0] with standard output and error appended to outFile.
  bool Start(const std::vector<std::string>& argv, const std::string& outFile);
  // Waits (at most timeoutMs) until the output contains `text`.
  bool WaitFor(const std::string& text, int timeoutMs) const;
  std::string Output() const { return ReadFile(m_out); }
  void Stop();

 private:
  pid_t m_pid;
  std::string m_out;
};

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
  void Stop() { m_proc.Stop(); }

 private:
  ChildProcess m_proc;
  int m_port = 0;
};

// Sends every log line (level, logger, message) to `file`.
void LogToFile(const std::string& file);

}  // namespace crawler_test

#endif  // TESTS_SINAN_TEST_SUPPORT_H_
