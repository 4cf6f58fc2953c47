// Seconds-and-microseconds time value; microseconds stay in 0..999999 after
// every operation. A plain value type, no shared state.
#ifndef KPUB_KTIME_H_
#define KPUB_KTIME_H_

#include <stdint.h>
#include <time.h>

#include <ostream>

namespace KPub {

class Time {
 public:
  Time() : m_sec(0), m_usec(0) {}
  explicit Time(int64_t sec) : m_sec(sec), m_usec(0) {}
  Time(int64_t sec, int64_t usec) : m_sec(sec), m_usec(usec) {}

  // The current time of day; whole seconds only when `usec` is false.
  static Time now(bool usec);

  int64_t sec() const { return m_sec; }
  int64_t usec() const { return m_usec; }

  Time& operator+=(const Time& t);
  Time& operator-=(const Time& t);
  Time& operator*=(int n);
  Time& operator/=(int n);
  Time operator+(const Time& t) const { return Time(*this) += t; }
  Time operator-(const Time& t) const { return Time(*this) -= t; }
  Time operator*(int n) const { return Time(*this) *= n; }
  Time operator/(int n) const { return Time(*this) /= n; }

  bool operator<(const Time& t) const {
    return m_sec < t.m_sec || (m_sec == t.m_sec && m_usec < t.m_usec);
  }
  bool operator>(const Time& t) const { return t < *this; }
  bool operator<=(const Time& t) const { return !(t < *this); }
  bool operator>=(const Time& t) const { return !(*this < t); }
  bool operator==(const Time& t) const { return m_sec == t.m_sec && m_usec == t.m_usec; }
  bool operator!=(const Time& t) const { return !(*this == t); }

  void localtime(struct tm* tm) const;
  void gmtime(struct tm* tm) const;

 private:
  int64_t m_sec;
  int64_t m_usec;
};

std::ostream& operator<<(std::ostream& os, const Time& t);

}  // namespace KPub

#endif  // KPUB_KTIME_H_
