#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "kpub/klog.h"

namespace crawler_test {

namespace {

constexpr int kPollMs = 10;
constexpr int kStopWaitMs = 2000;
constexpr int kSimStartMs = 10000;

}  // namespace

TempDir::TempDir() {
  char templ[] = "/tmp/crawler_dns_XXXXXX";
  m_path = mkdtemp(templ);
  // Peers that drop privileges (dnsmasq) read their files from here.
  chmod(m_path.c_str(), 0755);
}

TempDir::~TempDir() {
  std::string cmd = "rm -rf '" + m_path + "'";
  if (system(cmd.c_str()) != 0) return;
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  std::string file = m_path + "/" + name;
  std::ofstream(file) << content;
  return file;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outFile) {
  m_out = outFile;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  m_pid = fork();
  if (m_pid == 0) {
    int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    execv(args[0], args.data());
    _exit(127);
  }
  return m_pid > 0;
}

bool ChildProcess::WaitFor(const std::string& text, int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += kPollMs) {
    if (Output().find(text) != std::string::npos) return true;
    usleep(kPollMs * 1000);
  }
  return false;
}

void ChildProcess::Stop() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  for (int waited = 0; waited < kStopWaitMs; waited += kPollMs) {
    if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    usleep(kPollMs * 1000);
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

int CountLines(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::string got;
  int n = 0;
  while (std::getline(in, got)) n += got == line;
  return n;
}

bool SinanSim::Start(const TempDir& dir, const std::string& hosts,
                     const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {CRAWLER_BIN_DIR "/dnscache_sim", "--hosts",
                                   dir.Write("sinan_hosts.txt", hosts)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  if (!m_proc.Start(argv, dir.path() + "/sinan_sim.out") ||
      !m_proc.WaitFor("listening ", kSimStartMs)) {
    return false;
  }
  std::string out = m_proc.Output();
  m_port = atoi(out.c_str() + out.find("listening ") + 10);
  return m_port > 0;
}

int SinanSim::Asked(const std::string& host) const {
  return CountLines(m_proc.Output(), "ask " + host);
}

void LogToFile(const std::string& file) {
  KPub::ConfigList list = {
      {"klog.appender.TEST", "FileAppender"},
      {"klog.appender.TEST.File", file},
      {"klog.appender.TEST.ImmediateFlush", "true"},
      {"klog.appender.TEST.layout", "PatternLayout"},
      {"klog.appender.TEST.layout.ConversionPattern", "%p %c %m%n"},
      {"klog.rootLogger", "ALL, TEST"},
  };
  KPub::kLogConfig(list);
}

}  // namespace crawler_test
