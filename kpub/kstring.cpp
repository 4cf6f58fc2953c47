#include "kpub/kstring.h"

#include <stdio.h>
#include <string.h>

namespace KPub {

std::string& trim(std::string& s) {
  static const char kBlanks[] = " \t\n\r";
  size_t last = s.find_last_not_of(kBlanks);
  if (last == std::string::npos) {
    s.clear();
    return s;
  }
  s.erase(last + 1);
  s.erase(0, s.find_first_not_of(kBlanks));
  return s;
}

int split(const std::string& chars, const std::string& separator,
          std::vector<std::string>& savelist, int nLimit) {
  savelist.clear();
  if (chars.empty() || separator.empty()) return 0;
  size_t pos = chars.find(separator);
  if (pos == std::string::npos) return 0;
  size_t start = 0;
  while (pos != std::string::npos) {
    savelist.push_back(chars.substr(start, pos - start));
    start = pos + separator.size();
    if (nLimit != 0 && static_cast<int>(savelist.size()) >= nLimit - 1) break;
    pos = chars.find(separator, start);
  }
  savelist.push_back(chars.substr(start));
  return static_cast<int>(savelist.size());
}

std::string LocalTimeText(time_t t) {
  struct tm tm;
  localtime_r(&t, &tm);
  char buf[64];
  snprintf(buf, sizeof buf, "%d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
           tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

}  // namespace KPub

size_t strlcpy(char* dst, const char* src, size_t size) {
  size_t len = strlen(src);
  if (size > 0) {
    size_t n = len < size - 1 ? len : size - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
  }
  return len;
}
