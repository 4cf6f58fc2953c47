// Byte-text helpers and limits shared by the library's sources. Pure
// functions reading only within the bounds they are given; any thread.
#ifndef HTMLCHARSET_TEXT_SCAN_H_
#define HTMLCHARSET_TEXT_SCAN_H_

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <strings.h>

#include <algorithm>

#include "htmlcharset/charset_detect.h"

namespace htmlcharset {

// Texts this short are not examined.
constexpr int kMinText = 5;
// Bytes from the start that declaration checks and the GBK guess look at.
constexpr int kHeadWindow = 2048;
constexpr uint16_t kReplacementUnit = 0xFFFD;

inline bool IsUtf8Cont(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

// True when the bytes at p (before end) start with `word`, ignoring case.
inline bool StartsWithNoCase(const char* p, const char* end, const char* word) {
  size_t n = strlen(word);
  return end - p >= static_cast<ptrdiff_t>(n) && strncasecmp(p, word, n) == 0;
}

// Drops a leading "x-" from a declared charset name.
inline void DropXPrefix(const char** name, int* len) {
  if (*len > 2 && strncasecmp(*name, "x-", 2) == 0) {
    *name += 2;
    *len -= 2;
  }
}

// The GBK guess of the last fall-backs, over the head of the text.
inline bool HeadLooksGbk(const char* text, int len) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  return is_gbk_encoding(p, p + std::min(len, kHeadWindow), kDetectRatio) > 0;
}

}  // namespace htmlcharset

#endif  // HTMLCHARSET_TEXT_SCAN_H_
