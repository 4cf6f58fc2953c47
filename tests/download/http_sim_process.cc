#include "http_sim_process.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr int kStartPolls = 200;
constexpr auto kPollPause = std::chrono::milliseconds(50);

// Minimal reader for the tool's flat JSON lines: string, number and
// string-array values. Bounds-checked; a malformed line yields what parsed.
class LineReader {
 public:
  explicit LineReader(const std::string& s) : m_s(s), m_i(0) {}

  bool Object(SimEvent& ev) {
    if (!Eat('{')) return false;
    while (Skip() && Peek() == '"') {
      std::string key;
      if (!String(key) || !Eat(':')) return false;
      if (!Value(key, ev)) return false;
      if (!Eat(',')) break;
    }
    return true;
  }

 private:
  bool Value(const std::string& key, SimEvent& ev) {
    Skip();
    if (Peek() == '"') {
      std::string v;
      if (!String(v)) return false;
      Assign(key, v, ev);
      return true;
    }
    if (Peek() == '[') return Array(key == "header_lines" ? &ev.header_lines : nullptr);
    size_t start = m_i;
    while (m_i < m_s.size() && m_s[m_i] != ',' && m_s[m_i] != '}') ++m_i;
    if (key == "port" || key == "upstream") ev.port = atoi(m_s.substr(start, m_i - start).c_str());
    return true;
  }

  static void Assign(const std::string& key, const std::string& v, SimEvent& ev) {
    if (key == "server") ev.server = v;
    if (key == "client") ev.client = v;
    if (key == "method") ev.method = v;
    if (key == "target") ev.target = v;
    if (key == "body") ev.body = v;
    if (key == "host") ev.host = v;
  }

  bool Array(std::vector<std::string>* out) {
    if (!Eat('[')) return false;
    while (Skip() && Peek() == '"') {
      std::string v;
      if (!String(v)) return false;
      if (out != nullptr) out->push_back(v);
      if (!Eat(',')) break;
    }
    return Eat(']');
  }

  bool String(std::string& out) {
    if (!Eat('"')) return false;
    while (m_i < m_s.size() && m_s[m_i] != '"') {
      char c = m_s[m_i++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_i >= m_s.size()) return false;
      char e = m_s[m_i++];
      if (e == 'u') {
        if (m_i + 4 > m_s.size()) return false;
        out += static_cast<char>(strtol(m_s.substr(m_i, 4).c_str(), nullptr, 16));
        m_i += 4;
      } else {
        out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
      }
    }
    return Eat('"');
  }

  bool Skip() {
    while (m_i < m_s.size() && m_s[m_i] == ' ') ++m_i;
    return m_i < m_s.size();
  }
  char Peek() const { return m_i < m_s.size() ? m_s[m_i] : '\0'; }
  bool Eat(char c) {
    Skip();
    if (Peek() != c) return false;
    ++m_i;
    return true;
  }

  const std::string& m_s;
  size_t m_i;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path.c_str());
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

std::string SimEvent::Header(const std::string& name) const {
  for (const std::string& line : header_lines) {
    size_t colon = line.find(':');
    if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      return v == std::string::npos ? std::string() : line.substr(v);
    }
  }
  return std::string();
}

bool SimEvent::HasHeader(const std::string& name) const {
  for (const std::string& line : header_lines) {
    if (line.size() > name.size() && line[name.size()] == ':' &&
        strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
      return true;
    }
  }
  return false;
}

HttpSimProcess::HttpSimProcess(const std::string& workdir,
                               const std::vector<std::string>& listeners, const std::string& bind,
                               int port)
    : m_dir(workdir + "/http_sim." + bind), m_pid(-1) {
  Launch(listeners, bind, port);
}

void HttpSimProcess::Launch(const std::vector<std::string>& listeners, const std::string& bind,
                            int port) {
  std::filesystem::remove_all(m_dir);
  mkdir(m_dir.c_str(), 0700);
  std::vector<std::string> args = {"python3", std::string(CRAWLER_SOURCE_DIR) +
                                                  "/tools/http_sim/http_sim.py",
                                   "--cert-dir", m_dir, "--log", m_dir + "/log.jsonl",
                                   "--ready-file", m_dir + "/ready", "--bind", bind};
  for (const std::string& l : listeners) {
    args.push_back("--" + (l == "http_proxy" ? std::string("http-proxy") : l));
    args.push_back(std::to_string(port));
  }
  m_pid = fork();
  if (m_pid == 0) {
    // The tool must not outlive a crashed test nor hold its output open.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    int out = open((m_dir + "/output.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  ASSERT_GT(m_pid, 0);
  std::string ready;
  for (int i = 0; i < kStartPolls && ready.empty(); ++i) {
    std::this_thread::sleep_for(kPollPause);
    ready = ReadFile(m_dir + "/ready");
  }
  ASSERT_FALSE(ready.empty()) << "http_sim did not start";
  for (const std::string& l : listeners) {
    size_t at = ready.find("\"" + l + "\": ");
    ASSERT_NE(at, std::string::npos) << l;
    m_ports[l] = atoi(ready.c_str() + at + l.size() + 4);
  }
}

HttpSimProcess::~HttpSimProcess() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  waitpid(m_pid, &status, 0);
}

int HttpSimProcess::Port(const std::string& listener) const {
  std::map<std::string, int>::const_iterator it = m_ports.find(listener);
  return it == m_ports.end() ? 0 : it->second;
}

std::vector<SimEvent> HttpSimProcess::Events() const {
  std::vector<SimEvent> out;
  std::istringstream in(ReadFile(m_dir + "/log.jsonl"));
  std::string line;
  while (std::getline(in, line)) {
    SimEvent ev;
    LineReader reader(line);
    if (reader.Object(ev)) out.push_back(ev);
  }
  return out;
}

std::vector<SimEvent> HttpSimProcess::Find(const std::string& server,
                                           const std::string& needle) const {
  std::vector<SimEvent> out;
  for (const SimEvent& ev : Events()) {
    if (ev.server == server && ev.target.find(needle) != std::string::npos) out.push_back(ev);
  }
  return out;
}
