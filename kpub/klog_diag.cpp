// The dependency writes its internal diagnostics to the standard streams with
// its own prefixes; a line filter on those streams gives them ours. Other
// text passes unchanged, line by line.
#include <string.h>

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

#include "kpub/klog_internal.h"

namespace KPub {

namespace {

struct PrefixRule {
  const char* from;
  const char* to;
};

const PrefixRule kPrefixRules[] = {
    {"log4cplus:ERROR ", "klog: ERROR "},
    {"log4cplus:WARN ", "klog: WARN "},
    {"log4cplus: ", "klog: "},
};

std::string Reprefix(const std::string& line) {
  for (const PrefixRule& rule : kPrefixRules) {
    std::string from(rule.from);
    if (line.compare(0, from.size(), from) == 0) return rule.to + line.substr(from.size());
  }
  return line;
}

// Collects each thread's text up to a newline, then writes the line to the
// original buffer under one lock, so lines of different threads never mix.
class PrefixFilterBuf : public std::streambuf {
 public:
  PrefixFilterBuf(std::streambuf* target, int slot) : m_target(target), m_slot(slot) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    Pending() += traits_type::to_char_type(c);
    if (c == '\n') FlushLine();
    return c;
  }

  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const char* end = s + n;
    while (s < end) {
      const char* nl = static_cast<const char*>(memchr(s, '\n', end - s));
      const char* stop = nl != nullptr ? nl + 1 : end;
      Pending().append(s, stop - s);
      if (nl != nullptr) FlushLine();
      s = stop;
    }
    return n;
  }

  // A partial line stays pending until its newline, so the prefix test
  // always sees whole lines.
  int sync() override {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_target->pubsync();
  }

 private:
  std::string& Pending() {
    thread_local std::string pending[2];
    return pending[m_slot];
  }

  void FlushLine() {
    std::string& pending = Pending();
    if (pending.empty()) return;
    std::string line = Reprefix(pending);
    pending.clear();
    std::lock_guard<std::mutex> guard(m_lock);
    m_target->sputn(line.data(), static_cast<std::streamsize>(line.size()));
  }

  std::streambuf* m_target;
  int m_slot;
  std::mutex m_lock;
};

}  // namespace

void InstallDiagnosticsPrefix() {
  // Never destroyed: the streams may be used until the process ends.
  static PrefixFilterBuf* out = new PrefixFilterBuf(std::cout.rdbuf(), 0);
  static PrefixFilterBuf* err = new PrefixFilterBuf(std::cerr.rdbuf(), 1);
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
}

}  // namespace KPub
