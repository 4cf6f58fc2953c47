#include "kpub/ktime.h"

#include <sys/time.h>

namespace KPub {

namespace {
constexpr int64_t kMicros = 1000000;
}

Time Time::now(bool usec) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return Time(tv.tv_sec, usec ? tv.tv_usec : 0);
}

Time& Time::operator+=(const Time& t) {
  m_sec += t.m_sec;
  m_usec += t.m_usec;
  if (m_usec >= kMicros) {
    m_usec -= kMicros;
    ++m_sec;
  }
  return *this;
}

Time& Time::operator-=(const Time& t) {
  m_sec -= t.m_sec;
  m_usec -= t.m_usec;
  if (m_usec < 0) {
    m_usec += kMicros;
    --m_sec;
  }
  return *this;
}

Time& Time::operator*=(int n) {
  int64_t usec = m_usec * n;
  m_sec = m_sec * n + usec / kMicros;
  m_usec = usec % kMicros;
  return *this;
}

Time& Time::operator/=(int n) {
  int64_t sec = m_sec / n;
  m_usec = (m_sec % n) * kMicros / n + m_usec / n;
  m_sec = sec;
  return *this;
}

void Time::localtime(struct tm* tm) const {
  time_t t = static_cast<time_t>(m_sec);
  localtime_r(&t, tm);
}

void Time::gmtime(struct tm* tm) const {
  time_t t = static_cast<time_t>(m_sec);
  gmtime_r(&t, tm);
}

std::ostream& operator<<(std::ostream& os, const Time& t) {
  return os << t.sec() << "sec " << t.usec() << "usec";
}

}  // namespace KPub
