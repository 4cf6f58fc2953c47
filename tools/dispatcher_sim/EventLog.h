// The simulator's record of calls: one JSON object per line, written to a
// stream when one is given and kept in memory for tests that wait on it.
// All calls hold m_mutex; safe from every connection thread.
#ifndef DISPATCHER_SIM_EVENTLOG_H_
#define DISPATCHER_SIM_EVENTLOG_H_

#include <stdio.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace dispatcher_sim {

class EventLog {
 public:
  // `out` may be null (memory only); it is flushed after every line.
  explicit EventLog(FILE* out) : m_out(out) {}

  // Adds "ts_ms" (milliseconds since the epoch) as the first member of the
  // object whose other members are `body` ("\"call\":...").
  void Write(const std::string& body);
  std::vector<std::string> Lines();
  // Lines containing `needle`.
  std::vector<std::string> Matching(const std::string& needle);
  // Waits up to timeout_ms until at least `count` lines contain `needle`.
  bool WaitFor(const std::string& needle, size_t count, int timeout_ms);

 private:
  size_t CountLocked(const std::string& needle) const;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  FILE* m_out;                       // guarded by m_mutex
  std::vector<std::string> m_lines;  // guarded by m_mutex
};

// Milliseconds since the epoch, as the lines carry them.
long long NowMillis();

}  // namespace dispatcher_sim

#endif  // DISPATCHER_SIM_EVENTLOG_H_
