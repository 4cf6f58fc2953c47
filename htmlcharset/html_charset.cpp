#include "htmlcharset/html_charset.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <string_view>

#include "htmlcharset/charset_detect.h"
#include "htmlcharset/text_scan.h"

namespace {

using htmlcharset::DropXPrefix;
using htmlcharset::kDetectRatio;
using htmlcharset::kHeadWindow;
using htmlcharset::kMinText;
using htmlcharset::StartsWithNoCase;

// Bounds of the charset scan; the detectors bound themselves further.
constexpr int kTagSearchWindow = 102400;
constexpr int kUtf8PrecheckWindow = 524288;
constexpr int kScanWindow = 20480;
constexpr int kTitleWindow = 256;

typedef const unsigned char* Bytes;

Bytes U(const char* p) { return reinterpret_cast<Bytes>(p); }

const char* Limit(const char* p, const char* end, int window) {
  return end - p > window ? p + window : end;
}

bool IsNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '"' || c == '\'' || c == ';' || c == '>';
}

bool IsNameLead(char c) { return c != '=' && c != ' ' && c != '\t' && c != '"' && c != '\''; }

// The first "<!doctype", "<html", "<title", "<meta" or "<body" in the window,
// or text when there is none.
const char* DocumentStart(const char* text, const char* end) {
  static const char* const kTags[] = {"<!doctype", "<html", "<title", "<meta", "<body"};
  const char* limit = Limit(text, end, kTagSearchWindow);
  for (const char* p = text; p < limit; ++p) {
    if (*p != '<') continue;
    for (const char* tag : kTags) {
      if (StartsWithNoCase(p, end, tag)) return p;
    }
  }
  return text;
}

// Past the "-->" closing the comment at p, or end when it is not closed.
const char* SkipHtmlComment(const char* p, const char* end) {
  static const char kClose[] = "-->";
  const char* close = std::search(std::min(p + 4, end), end, kClose, kClose + 3);
  return close == end ? end : close + 3;
}

// Statistics that decide when no declaration did.
charset_t ByStatistics(const char* p, const char* end, bool declared) {
  Bytes s = U(p), e = U(end);
  if (is_gp_gbk_encoding(s, e, kDetectRatio) > 0) return CHARSET_GBK;
  if (is_gp_big5_encoding(s, e, kDetectRatio) > 0) return CHARSET_BIG5;
  if (declared) return CHARSET_NONE;
  if (is_euc_jp_encoding(s, e, kDetectRatio) > 0) return CHARSET_EUC_JP;
  if (is_sjis_jp_encoding(s, e, kDetectRatio) > 0) return CHARSET_SHIFT_JIS;
  switch (is_iso_8859_encoding(s, e, kDetectRatio)) {
    case 2:
      return CHARSET_WINDOWS_1251;
    case 3:
      return CHARSET_WINDOWS_1252;
    case 1:
      return CHARSET_ISO_8859_1;
  }
  if (is_euc_kr_encoding(s, e, kDetectRatio) > 0) return CHARSET_EUC_KR;
  return CHARSET_NONE;
}

// Outcome of one meta declaration: -1 to go on scanning, else the type.
int JudgeMeta(const char* p, const char* end, int m, const char** name, int* namelen) {
  if (get_meta_charset(p, end, name, namelen) == 0) return -1;
  if (!isalpha(static_cast<unsigned char>(**name))) return -1;
  DropXPrefix(name, namelen);
  charset_t t = charset_name_to_type(*name, *namelen);
  if (t == CHARSET_UTF8 && m == 0) {
    *namelen = 0;
    return -1;
  }
  return t;
}

}  // namespace

int get_meta_charset(const char* p, const char* end, const char** name, int* namelen) {
  const char* tag = p;
  const char* start = nullptr;
  int state = 1;
  while (p < end && *p != '>') {
    if (state == 1 && StartsWithNoCase(p, end, "http-equiv")) {
      state = 2;
      p += 10;
    } else if ((state == 1 || state == 4) && StartsWithNoCase(p, end, "charset")) {
      state = 5;
      p += 7;
    } else if (state == 2 && StartsWithNoCase(p, end, "content-type")) {
      state = 3;
      p = tag;
    } else if (state == 3 && StartsWithNoCase(p, end, "content")) {
      state = 4;
      p += 7;
    } else if (state == 5 && IsNameLead(*p)) {
      state = 6;
      start = p;
    } else if (state == 6 && IsNameEnd(*p)) {
      break;
    } else {
      ++p;
    }
  }
  if (state != 6) return 0;
  *name = start;
  *namelen = static_cast<int>(p - start);
  return *namelen;
}

int meta_charset_check(const char* text, int len, int type) {
  if (len < 0) len = 0;
  Bytes s = U(text), e = U(text) + std::min(len, kHeadWindow);
  bool ok;
  switch (type) {
    case CHARSET_GBK:
      ok = is_gp_gbk_encoding(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_UTF8:
      ok = is_utf8_encoding_ignore(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_UCS2LE:
      ok = len >= 2 && s[0] == 0xFF && s[1] == 0xFE;
      break;
    case CHARSET_UCS2BE:
      ok = len >= 2 && s[0] == 0xFE && s[1] == 0xFF;
      break;
    case CHARSET_BIG5:
      ok = is_gp_big5_encoding(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_EUC_JP:
      ok = is_euc_jp_encoding(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_SHIFT_JIS:
      ok = is_sjis_jp_encoding(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_EUC_KR:
      ok = is_euc_kr_encoding(s, e, kDetectRatio) > 0;
      break;
    case CHARSET_ISO_8859_1:
    case CHARSET_WINDOWS_1252: {
      int latin = is_iso_8859_encoding(s, e, kDetectRatio);
      ok = latin == 1 || latin == 3;
      break;
    }
    case CHARSET_WINDOWS_1251:
      ok = is_iso_8859_encoding(s, e, kDetectRatio) == 2;
      break;
    default:
      ok = true;
  }
  return ok ? type : -1;
}

charset_t get_html_charset(const char* text, int len, const char** name, int* namelen) {
  *name = nullptr;
  *namelen = 0;
  if (len < 0) len = 0;
  const char* end = text + len;
  Bytes s = U(text);
  if (len >= 2 && s[0] == 0xFF && s[1] == 0xFE) return CHARSET_UCS2LE;
  if (len >= 2 && s[0] == 0xFE && s[1] == 0xFF) return CHARSET_UCS2BE;
  if (len >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return CHARSET_UTF8;
  const char* p = DocumentStart(text, end);
  if (end - p <= kMinText) return CHARSET_NONE;
  int m = is_utf8_encoding_ignore(U(p), U(Limit(p, end, kUtf8PrecheckWindow)), kDetectRatio);
  if (m > 0) return CHARSET_UTF8;
  const char* scan_end = Limit(p, end, kScanWindow);
  for (const char* q = p; q < scan_end; ++q) {
    if (*q != '<') continue;
    if (StartsWithNoCase(q, end, "<!--")) {
      q = SkipHtmlComment(q, scan_end) - 1;
    } else if (StartsWithNoCase(q, end, "<meta")) {
      int t = JudgeMeta(q + 5, end, m, name, namelen);
      if (t >= 0) return static_cast<charset_t>(t);
    } else if (m == 0 && StartsWithNoCase(q, end, "<title") &&
               is_utf8_encoding_strict(U(q), U(Limit(q, end, kTitleWindow)), kDetectRatio) > 0) {
      return CHARSET_UTF8;
    }
  }
  return ByStatistics(p, scan_end, *namelen > 0);
}

charset_t html_charset(const char* text, int len, char* name, int cap) {
  if (cap > 0) name[0] = '\0';
  if (len <= kMinText) return CHARSET_NONE;
  const char* found = nullptr;
  int found_len = 0;
  charset_t t = get_html_charset(text, len, &found, &found_len);
  const char* canonical = charset_type_name(t);
  std::string_view chosen;
  if (canonical != nullptr) {
    chosen = canonical;
  } else if (found_len > 0) {
    chosen = std::string_view(found, found_len);
  } else if (found != nullptr && StartsWithNoCase(found, text + len, "utf")) {
    chosen = "utf8";
  } else if (htmlcharset::HeadLooksGbk(text, len)) {
    chosen = "gbk";
  } else {
    chosen = "iso-8859-1";
  }
  if (cap > 0) {
    size_t n = std::min(chosen.size(), static_cast<size_t>(cap - 1));
    memcpy(name, chosen.data(), n);
    name[n] = '\0';
  }
  return t;
}
