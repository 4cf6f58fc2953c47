// String helpers of the shared utility library. Pure functions.
#ifndef KPUB_KSTRING_H_
#define KPUB_KSTRING_H_

#include <stddef.h>
#include <time.h>

#include <string>
#include <vector>

namespace KPub {

// Removes leading and trailing " \t\n\r" in place; returns s.
std::string& trim(std::string& s);

// Splits `chars` at every `separator`; a text without the separator yields no
// fields. With nLimit > 0 at most nLimit fields (at least two), the last one
// holding the rest. Returns the number of fields.
int split(const std::string& chars, const std::string& separator,
          std::vector<std::string>& savelist, int nLimit = 0);

// "%d-%02d-%02d %02d:%02d:%02d" of `t` in local time.
std::string LocalTimeText(time_t t);

}  // namespace KPub

// Copies at most size-1 bytes and always terminates when size > 0; returns
// strlen(src), so a result >= size means the copy was cut.
size_t strlcpy(char* dst, const char* src, size_t size);

#endif  // KPUB_KSTRING_H_
