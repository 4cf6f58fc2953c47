#include "kpub/encdetect.h"

#include <mutex>

#include "kpub/encfreq_data.h"

namespace KPub {

uint16_t GBFreq[kGbFreqRows * kGbFreqCols];
uint16_t Big5Freq[kBig5FreqRows * kBig5FreqCols];

namespace {

constexpr unsigned char kRowBase = 0xA1;
constexpr int kGbTopWeight = 599;
constexpr int kBig5TopWeight = 600;
constexpr int kFavouredWeight = 200;
constexpr int kPairTotalStep = 500;
// Detection looks at a bounded prefix however large the page is.
constexpr int kMaxUtf8MultiBytes = 999;
constexpr int kMaxPairs = 999;
// Unweighted pairs outside the favoured rows taken as pairs before the
// bytes are examined one at a time again.
constexpr int kMaxColdRun = 3;

bool IsCont(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

int Big5Column(unsigned char second) { return second <= 0x7E ? second - 0x40 : second - 0x61; }

int GbIndex(unsigned char first, unsigned char second) {
  return (first - kRowBase) * kGbFreqCols + (second - kRowBase);
}

int Big5Index(unsigned char first, unsigned char second) {
  return (first - kRowBase) * kBig5FreqCols + Big5Column(second);
}

void BuildFreq() {
  for (int i = 0; i < kFreqRankedCount; ++i) {
    GBFreq[GbIndex(kGbRanked[i] >> 8, kGbRanked[i] & 0xFF)] = kGbTopWeight - i;
    Big5Freq[Big5Index(kBig5Ranked[i] >> 8, kBig5Ranked[i] & 0xFF)] = kBig5TopWeight - i;
  }
}

// Byte layout of one double-byte Chinese encoding.
struct PairLayout {
  bool (*first_ok)(unsigned char);
  bool (*second_ok)(unsigned char);
  int (*weight)(unsigned char, unsigned char);
  bool (*favoured_row)(int);
};

const PairLayout kGbLayout = {
    [](unsigned char b) { return b >= 0xA1 && b <= 0xF7; },
    [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; },
    [](unsigned char f, unsigned char s) { return static_cast<int>(GBFreq[GbIndex(f, s)]); },
    [](int row) { return (row >= 0 && row <= 4) || (row >= 15 && row <= 54); },
};

const PairLayout kBig5Layout = {
    [](unsigned char b) { return b >= 0xA1 && b <= 0xF9; },
    [](unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE); },
    [](unsigned char f, unsigned char s) { return static_cast<int>(Big5Freq[Big5Index(f, s)]); },
    [](int row) { return row >= 0 && row <= 37; },
};

float PairCheck(const unsigned char* p, size_t len, const PairLayout& layout) {
  init_freq();
  if (len == 1) return 50;
  int high = 1, pairs = 1, total = 1, sum = 0, run = 0;
  for (size_t i = 0; i + 1 < len && pairs <= kMaxPairs; ++i) {
    unsigned char b = p[i];
    if (b < 0x80) {
      run = 0;
      continue;
    }
    ++high;
    if (!layout.first_ok(b) || !layout.second_ok(p[i + 1])) continue;
    ++pairs;
    total += kPairTotalStep;
    int w = layout.weight(b, p[i + 1]);
    if (w > 0 || layout.favoured_row(b - kRowBase)) {
      sum += w > 0 ? w : kFavouredWeight;
      run = 0;
      ++i;
    } else if (++run <= kMaxColdRun) {
      ++i;
    } else {
      --pairs;
    }
  }
  return (static_cast<float>(pairs) / high + static_cast<float>(sum) / total) * 50;
}

}  // namespace

void init_freq() {
  static std::once_flag built;
  std::call_once(built, BuildFreq);
}

float utf8_check(const char* s, size_t len) {
  if (len == 0) return -1;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  size_t i = 0, ascii = 0;
  int multi = 0;
  while (i < len && multi <= kMaxUtf8MultiBytes) {
    unsigned char b = p[i];
    if (b < 0x80) {
      ++ascii;
      ++i;
    } else if (b >= 0xC0 && b <= 0xDF && i + 1 < len && IsCont(p[i + 1])) {
      multi += 2;
      i += 2;
    } else if (b >= 0xE0 && b <= 0xEF && i + 2 < len && IsCont(p[i + 1]) && IsCont(p[i + 2])) {
      multi += 3;
      i += 3;
    } else {
      ++i;
    }
  }
  if (len <= 1 || ascii + 2 >= i) return -1;
  float r = static_cast<float>(multi) / static_cast<float>(i - ascii) * 100;
  return (r > 98 || (r > 95 && multi > 30)) ? r : 0;
}

float gbk_check(const char* s, size_t len) {
  return PairCheck(reinterpret_cast<const unsigned char*>(s), len, kGbLayout);
}

float big5_check(const char* s, size_t len) {
  return PairCheck(reinterpret_cast<const unsigned char*>(s), len, kBig5Layout);
}

ENCODING detect_encoding(const char* s, size_t len) {
  if (len == 0) return OTHER;
  float u = utf8_check(s, len);
  if (u == -1) return ASCII;
  if (u > 95) return UTF8;
  const float scores[] = {0, 0, gbk_check(s, len), big5_check(s, len), u};
  int best = OTHER;
  for (int e = ASCII; e <= UTF8; ++e) {
    if (scores[e] > scores[best]) best = e;
  }
  return scores[best] >= 50 ? static_cast<ENCODING>(best) : OTHER;
}

}  // namespace KPub
