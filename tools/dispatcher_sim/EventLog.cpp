#include "EventLog.h"

#include <chrono>

namespace dispatcher_sim {

long long NowMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void EventLog::Write(const std::string& body) {
  std::string line = "{\"ts_ms\":" + std::to_string(NowMillis()) + "," + body + "}";
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_out != nullptr) {
    fprintf(m_out, "%s\n", line.c_str());
    fflush(m_out);
  }
  m_lines.push_back(std::move(line));
  m_changed.notify_all();
}

std::vector<std::string> EventLog::Lines() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_lines;
}

std::vector<std::string> EventLog::Matching(const std::string& needle) {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<std::string> out;
  for (const std::string& l : m_lines) {
    if (l.find(needle) != std::string::npos) out.push_back(l);
  }
  return out;
}

size_t EventLog::CountLocked(const std::string& needle) const {
  size_t n = 0;
  for (const std::string& l : m_lines) {
    if (l.find(needle) != std::string::npos) ++n;
  }
  return n;
}

bool EventLog::WaitFor(const std::string& needle, size_t count, int timeout_ms) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                            [&] { return CountLocked(needle) >= count; });
}

}  // namespace dispatcher_sim
