#include "htmlcharset/html_process.h"

#include <string.h>
#include <strings.h>

#include <algorithm>

#include "htmlcharset/charset_detect.h"
#include "htmlcharset/html_charset.h"
#include "htmlcharset/text_scan.h"
#include "htmlcharset/tradmap.h"
#include "htmlcharset/unicode_conv.h"
#include "htmlcharset/url_rules.h"

namespace {

using htmlcharset::kHeadWindow;
using htmlcharset::kMinText;

constexpr int kRefMinDigits = 4;
constexpr int kRefMaxDigits = 6;
constexpr uint16_t kByteOrderMark = 0xFEFF;

struct Source {
  const char* p;
  int len;
  uint16_t* work;
  int cap;
};

bool HasPrefix(const char* name, int len, const char* prefix) {
  return htmlcharset::StartsWithNoCase(name, name + len, prefix);
}

// Decodes by a declared or hinted name: the table decoders for the UTF-8 and
// GBK families, iconv for the rest.
int DecodeByName(const Source& s, const char* name, int len) {
  if (HasPrefix(name, len, "utf")) return utf2ucs(s.p, s.len, s.work, s.cap);
  if (HasPrefix(name, len, "gb")) return gbk2ucs(s.p, s.len, s.work, s.cap);
  return convert_unicode(s.p, s.len, s.work, s.cap, name, len);
}

// Decodes by a judged type; false when the type has no canonical name.
bool DecodeByType(const Source& s, charset_t t, int* units) {
  const char* canonical = charset_type_name(t);
  if (canonical == nullptr) return false;
  if (t == CHARSET_UTF8)
    *units = utf2ucs(s.p, s.len, s.work, s.cap);
  else if (t == CHARSET_GBK)
    *units = gbk2ucs(s.p, s.len, s.work, s.cap);
  else
    *units = convert_unicode(s.p, s.len, s.work, s.cap, canonical, 0);
  return true;
}

// The first meta declaration in the window, "x-" dropped; false if none.
bool FirstMetaCharset(const Source& s, const char** name, int* len) {
  const char* end = s.p + s.len;
  const char* limit = s.p + std::min(s.len, kHeadWindow);
  for (const char* q = s.p; q < limit; ++q) {
    if (*q != '<' || end - q < 5 || strncasecmp(q + 1, "meta", 4) != 0) continue;
    if (get_meta_charset(q + 5, end, name, len) == 0) continue;
    htmlcharset::DropXPrefix(name, len);
    return true;
  }
  return false;
}

// The declared (or hinted) charset to decode with; false when none is trusted.
bool ChooseDeclared(const Source& s, const char* hint, const char** name, int* len) {
  bool declared = FirstMetaCharset(s, name, len);
  charset_t declared_type = declared ? charset_name_to_type(*name, *len) : CHARSET_NONE;
  if (hint != nullptr) {
    charset_t hint_type = charset_name_to_type(hint, strlen(hint));
    if (declared_type != hint_type && meta_charset_check(s.p, s.len, hint_type) < 0) return false;
    *name = hint;
    *len = static_cast<int>(strlen(hint));
    return true;
  }
  return declared && meta_charset_check(s.p, s.len, declared_type) >= 0;
}

int DecodeByStatistics(const Source& s) {
  const char* found = nullptr;
  int found_len = 0;
  charset_t t = get_html_charset(s.p, s.len, &found, &found_len);
  int units = 0;
  if (DecodeByType(s, t, &units)) return units;
  if (found_len > 0) units = convert_unicode(s.p, s.len, s.work, s.cap, found, found_len);
  if (units > 0) return units;
  if (found != nullptr && HasPrefix(found, static_cast<int>(s.p + s.len - found), "utf")) {
    return utf2ucs(s.p, s.len, s.work, s.cap);
  }
  if (htmlcharset::HeadLooksGbk(s.p, s.len)) return gbk2ucs(s.p, s.len, s.work, s.cap);
  return convert_unicode(s.p, s.len, s.work, s.cap, "iso-8859-1", 0);
}

int Decode(const Source& s, const char* hint, const char* url) {
  int units = 0;
  if (url != nullptr && DecodeByType(s, html_url_charset(url), &units) && units > 0) return units;
  const char* name = nullptr;
  int len = 0;
  if (ChooseDeclared(s, hint, &name, &len)) units = DecodeByName(s, name, len);
  return units > 0 ? units : DecodeByStatistics(s);
}

int HexWorth(uint16_t u) {
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// The unit named by the reference digits d[0..n), or -1 if they name none.
int RefValue(const uint16_t* d, int n) {
  int base = std::any_of(d, d + n, [](uint16_t u) { return u == 'x' || u == 'X'; }) ? 16 : 10;
  uint16_t v = 0;
  for (int i = 0; i < n; ++i) {
    if (d[i] == 'x' || d[i] == 'X') continue;
    int w = HexWorth(d[i]);
    if (w < 0) return -1;
    v = static_cast<uint16_t>(v * base + w);
  }
  return (v == 0 || (v >= 9 && v <= 13)) ? ' ' : v;
}

// Length of the reference "&#...;" at i (0 if none) and its unit.
int RefAt(const uint16_t* u, int i, int n, uint16_t* unit) {
  if (u[i] != '&' || i + 1 >= n || u[i + 1] != '#') return 0;
  int last = std::min(n, i + 2 + kRefMaxDigits + 1);
  int semi = static_cast<int>(std::find(u + i + 2, u + last, ';') - u);
  int digits = semi - (i + 2);
  if (semi == last || digits < kRefMinDigits) return 0;
  int v = RefValue(u + i + 2, digits);
  if (v < 0) return 0;
  *unit = static_cast<uint16_t>(v);
  return digits + 3;
}

}  // namespace

int resolve_numeric_refs(uint16_t* units, int n) {
  int out = 0;
  for (int i = 0; i < n;) {
    uint16_t unit;
    int len = RefAt(units, i, n, &unit);
    if (len > 0) {
      units[out++] = unit;
      i += len;
    } else {
      units[out++] = units[i++];
    }
  }
  return out;
}

int html_process(const char* src, int srclen, char* out, int outcap, uint16_t* work, int workcap,
                 int outtype, const char* hint, const char* url) {
  if (outcap > 0) out[0] = '\0';
  if (srclen <= kMinText || workcap <= 0) return 0;
  if (srclen >= 3 && memcmp(src, "\xEF\xBB\xBF", 3) == 0) {
    src += 3;
    srclen -= 3;
  }
  int n = Decode(Source{src, srclen, work, workcap}, hint, url);
  // a UTF-16 mark decodes to U+FEFF, which is no text
  if (n > 0 && work[0] == kByteOrderMark) {
    memmove(work, work + 1, (n - 1) * sizeof(uint16_t));
    --n;
  }
  n = tradmap(work, resolve_numeric_refs(work, n));
  if (outtype == HTML_OUTPUT_UNITS || n == 0) return n;
  if (outcap <= 0) return 0;
  int bytes = ConvFrUnicode(work, n, out, outcap - 1,
                            outtype == HTML_OUTPUT_GBK ? KWWW_CODE_GBK : KWWW_CODE_UTF8);
  out[bytes] = '\0';
  return bytes;
}
