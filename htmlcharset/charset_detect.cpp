#include "htmlcharset/charset_detect.h"

#include <string.h>

#include "htmlcharset/charset_tables.h"
#include "htmlcharset/text_scan.h"

namespace {

using htmlcharset::IsUtf8Cont;

// High bytes each detector examines before it decides.
constexpr int kGpHighMax = 512;
constexpr int kUtf8HighMax = 256;
constexpr int kGbkHighMax = 256;
constexpr int kJpHighMax = 512;
constexpr int kLatinKrHighMax = 513;
// A strict UTF-8 text may end in a cut three-byte sequence after this many
// good sequences (a window cut in the middle of a character).
constexpr int kStrictCutAfter = 4;

// Past a comment "<!-" ... "-->" starting at p, or p itself when none starts
// there; a comment without its end runs to `end`.
const unsigned char* SkipComment(const unsigned char* p, const unsigned char* end) {
  if (end - p < 3 || memcmp(p, "<!-", 3) != 0) return p;
  for (const unsigned char* q = p + 3; end - q >= 3; ++q) {
    if (memcmp(q, "-->", 3) == 0) return q + 3;
  }
  return end;
}

// The first byte >= 0x80 at or after p, comments stepped over; end if none.
const unsigned char* NextHigh(const unsigned char* p, const unsigned char* end) {
  while (p < end) {
    if (*p == '<') {
      const unsigned char* q = SkipComment(p, end);
      if (q != p) {
        p = q;
        continue;
      }
    }
    if (*p >= 0x80) return p;
    ++p;
  }
  return end;
}

// Length of the well-formed two- or three-byte sequence at p (0 if none);
// *three tells which.
int Utf8Sequence(const unsigned char* p, const unsigned char* end, bool* three) {
  *three = false;
  if (*p >= 0xC0 && *p <= 0xDF && end - p >= 2 && IsUtf8Cont(p[1])) return 2;
  if (*p >= 0xE0 && *p <= 0xEF && end - p >= 3 && IsUtf8Cont(p[1]) && IsUtf8Cont(p[2])) {
    *three = true;
    return 3;
  }
  return 0;
}

int GpCommon(const unsigned char* p, const unsigned char* end, int r, const bool* common) {
  int h = 0, m = 0;
  for (p = NextHigh(p, end); p < end && h < kGpHighMax; p = NextHigh(p, end)) {
    ++h;
    if (end - p >= 2 && common[*p * 256 + p[1]]) {
      ++m;
      p += 2;
    } else {
      ++p;
    }
  }
  return (m > 0 && h / m <= r) ? m : 0;
}

// Counts the bytes >= 0xA0 (k) and those of them in `marks` (a), over at most
// `high_max` high bytes.
void CountMarked(const unsigned char* p, const unsigned char* end, int high_max, const char* marks,
                 int* k, int* a) {
  int h = 0;
  *k = 0;
  *a = 0;
  for (p = NextHigh(p, end); p < end && h < high_max; p = NextHigh(p + 1, end)) {
    ++h;
    if (*p < 0xA0) continue;
    ++*k;
    if (strchr(marks, *p) != nullptr) ++*a;
  }
}

// Counts lead bytes for which `lead` holds, split into those followed by a
// byte for which `trail` holds (g, the follower then skipped) and the rest
// (e); h counts the high bytes examined, at most high_max.
void CountLeads(const unsigned char* p, const unsigned char* end, int high_max,
                bool (*lead)(unsigned char), bool (*trail)(unsigned char), int* h, int* g, int* e) {
  *h = *g = *e = 0;
  for (p = NextHigh(p, end); p < end && *h < high_max; p = NextHigh(p, end)) {
    ++*h;
    unsigned char c = *p++;
    if (!lead(c)) continue;
    if (p < end && trail(*p)) {
      ++*g;
      ++p;
    } else {
      ++*e;
    }
  }
}

// Verdict on lead bytes counted by CountLeads.
int LeadVerdict(int h, int g, int e, int r) {
  if (e == 0 || g / e >= r) return g;
  return 48 * h < 50 * e ? -1 : 0;
}

}  // namespace

int is_gp_gbk_encoding(const unsigned char* start, const unsigned char* end, int r) {
  return GpCommon(start, end, r, htmlcharset::_g_gbk_gp_index);
}

int is_gp_big5_encoding(const unsigned char* start, const unsigned char* end, int r) {
  return GpCommon(start, end, r, htmlcharset::_g_big5_gp_index);
}

int is_utf8_encoding_ignore(const unsigned char* p, const unsigned char* end, int r) {
  int h = 0, t = 0, w = 0, b = 0;
  for (p = NextHigh(p, end); p < end && h < kUtf8HighMax; p = NextHigh(p, end)) {
    ++h;
    bool three;
    int n = Utf8Sequence(p, end, &three);
    if (n == 0) {
      ++b;
      ++p;
      continue;
    }
    ++(three ? t : w);
    p += n;
  }
  if (b == 0 || (t + w) / b >= r) return t + w;
  return t < h / 5 ? 0 : -t;
}

int is_utf8_encoding_strict(const unsigned char* p, const unsigned char* end, int /*r*/) {
  int h = 0, t = 0, w = 0;
  while (p < end && h < kUtf8HighMax) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    ++h;
    bool three;
    int n = Utf8Sequence(p, end, &three);
    if (n == 0) {
      bool cut = *p >= 0xE0 && *p <= 0xEF && end - p < 3 && (end - p < 2 || IsUtf8Cont(p[1]));
      if (cut && t + w >= kStrictCutAfter) break;
      return 0;
    }
    ++(three ? t : w);
    p += n;
  }
  return t > 0 ? t : -w;
}

int is_gbk_encoding(const unsigned char* start, const unsigned char* end, int r) {
  int h, g, e;
  CountLeads(
      start, end, kGbkHighMax,
      [](unsigned char c) { return (c >= 0xA1 && c <= 0xA9) || (c >= 0xB0 && c <= 0xF9); },
      [](unsigned char c) { return c >= 0xA1; }, &h, &g, &e);
  return LeadVerdict(h, g, e, r);
}

int is_euc_jp_encoding(const unsigned char* start, const unsigned char* end, int r) {
  int k, a;
  CountMarked(start, end, kJpHighMax, "\xA4\xA5", &k, &a);
  return (k >= r && a > 0 && k / a <= r) ? a : 0;
}

int is_sjis_jp_encoding(const unsigned char* start, const unsigned char* end, int r) {
  int h, g, e;
  CountLeads(
      start, end, kJpHighMax, [](unsigned char c) { return c == 0x82 || c == 0x83; },
      [](unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }, &h, &g,
      &e);
  return g < r ? 0 : LeadVerdict(h, g, e, r);
}

int is_euc_kr_encoding(const unsigned char* start, const unsigned char* end, int r) {
  int k, a;
  CountMarked(start, end, kLatinKrHighMax, "\xB8\xBC\xBF\xC0", &k, &a);
  return (k >= r && a > 0 && k / a <= r) ? k : 0;
}

// Bytes 0x80-0x9F are not held against a text: windows-1252 prints them.
int is_iso_8859_encoding(const unsigned char* p, const unsigned char* end, int r) {
  int k = 0, n = 0, e = 0, y = 0;
  for (p = NextHigh(p, end); p < end && k < kLatinKrHighMax; p = NextHigh(p + 1, end)) {
    ++k;
    if (*p < 0xC0) continue;
    ++n;
    if (*p == 0xE9) ++e;
    if (*p == 0xE0 || *p == 0xE5 || *p == 0xEE) ++y;
  }
  if (e > 0 && n / e <= r) return 3;
  if (y > 0 && n / y <= r) return 2;
  return n < 2 * r ? 1 : 0;
}
