// Guesses whether raw bytes are ASCII, UTF-8, GBK (GB2312 range) or Big5 from
// byte patterns and character-frequency weights. Input is untrusted: every
// function reads only the given length.
// Thread-safety: any thread; the frequency tables are built once under a
// one-time initialisation and are read-only afterwards.
#ifndef KPUB_ENCDETECT_H_
#define KPUB_ENCDETECT_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace KPub {

enum ENCODING { OTHER = 0, ASCII = 1, GBK = 2, BIG5 = 3, UTF8 = 4 };

constexpr int kGbFreqRows = 94;
constexpr int kGbFreqCols = 94;
constexpr int kBig5FreqRows = 94;
constexpr int kBig5FreqCols = 158;

// Character weights by byte pair, zero for characters outside the most
// frequent 400. Valid only after init_freq() has returned.
extern uint16_t GBFreq[kGbFreqRows * kGbFreqCols];
extern uint16_t Big5Freq[kBig5FreqRows * kBig5FreqCols];

// Builds GBFreq and Big5Freq; later calls return at once.
void init_freq();

// -1: essentially ASCII; 0: not UTF-8; otherwise the share (above 95) of
// non-ASCII bytes that belong to well-formed two- and three-byte sequences.
float utf8_check(const char* s, size_t len);
// Nominally 0 to 100: how well the non-ASCII bytes read as common characters.
float gbk_check(const char* s, size_t len);
float big5_check(const char* s, size_t len);

ENCODING detect_encoding(const char* s, size_t len);
inline ENCODING detect_encoding(const std::string& s) {
  return detect_encoding(s.data(), s.size());
}

}  // namespace KPub

#endif  // KPUB_ENCDETECT_H_
