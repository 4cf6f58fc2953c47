#include "htmlcharset/unicode_conv.h"

#include <errno.h>
#include <iconv.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "htmlcharset/charset_tables.h"
#include "htmlcharset/text_scan.h"

namespace {

using htmlcharset::_g_map_gbk2ucs;
using htmlcharset::_g_map_ucs2gbk;
using htmlcharset::IsUtf8Cont;
using htmlcharset::kReplacementUnit;

constexpr int kMaxSkippedBytes = 100;
// Names longer than this are no charset iconv could know.
constexpr int kMaxCharsetName = 64;

// Decodes the UTF-8 sequence at s[0..left); returns the bytes it takes, 0 for
// an incomplete sequence at the end, and gives U+FFFD for a malformed lead.
int Utf8Unit(const unsigned char* s, int left, uint16_t* unit) {
  unsigned char b = s[0];
  if (b < 0x80) {
    *unit = b;
    return 1;
  }
  int need = b >= 0xE0 ? 3 : (b >= 0xC0 ? 2 : 1);
  if (need == 1) {
    *unit = kReplacementUnit;
    return 1;
  }
  for (int i = 1; i < need; ++i) {
    if (i >= left) return 0;
    if (!IsUtf8Cont(s[i])) {
      *unit = kReplacementUnit;
      return 1;
    }
  }
  *unit = need == 2
              ? static_cast<uint16_t>(((b & 0x1F) << 6) | (s[1] & 0x3F))
              : static_cast<uint16_t>(((b & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
  return need;
}

// Bytes to step over at an invalid sequence: a whole unit for 16-bit
// charsets, since one byte would misalign the rest of the text (characters
// beyond U+FFFF are such sequences).
size_t SkipStep(const std::string& charset) {
  const char* name = charset.c_str();
  return strncasecmp(name, "ucs-2", 5) == 0 || strncasecmp(name, "utf-16", 6) == 0 ? 2 : 1;
}

}  // namespace

int gbk2ucs(const char* src, int len, uint16_t* dst, int cap) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  int n = 0;
  for (int i = 0; i < len && n < cap;) {
    unsigned char b = s[i];
    if (b <= 0x80) {
      dst[n++] = _g_map_gbk2ucs[b];
      ++i;
    } else if (i + 1 < len && s[i + 1] >= 0x40) {
      dst[n++] = _g_map_gbk2ucs[b + 256 * s[i + 1]];
      i += 2;
    } else {
      dst[n++] = kReplacementUnit;
      i += 2;
    }
  }
  return n;
}

int utf2ucs(const char* src, int len, uint16_t* dst, int cap) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  int n = 0;
  for (int i = 0; i < len && n < cap;) {
    int used = Utf8Unit(s + i, len - i, &dst[n]);
    if (used == 0) break;
    ++n;
    i += used;
  }
  return n;
}

int ucs2gbk(const uint16_t* src, int len, char* dst, int cap) {
  int n = 0;
  for (int i = 0; i < len; ++i) {
    uint16_t v = _g_map_ucs2gbk[src[i]];
    if (v == 0) v = ' ';
    if (v <= 0x80) {
      if (n + 1 > cap) break;
      dst[n++] = static_cast<char>(v);
    } else {
      if (n + 2 > cap) break;
      dst[n++] = static_cast<char>(v & 0xFF);
      dst[n++] = static_cast<char>(v >> 8);
    }
  }
  return n;
}

int ucs2utf(const uint16_t* src, int len, char* dst, int cap) {
  int n = 0;
  for (int i = 0; i < len && cap - n >= 3; ++i) {
    uint16_t u = src[i];
    if (u < 0x80) {
      dst[n++] = static_cast<char>(u);
    } else if (u < 0x800) {
      dst[n++] = static_cast<char>(0xC0 | (u >> 6));
      dst[n++] = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      dst[n++] = static_cast<char>(0xE0 | (u >> 12));
      dst[n++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      dst[n++] = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return n;
}

int ConvToUnicode(const char* src, int len, uint16_t* dst, int cap, int code) {
  switch (code) {
    case KWWW_CODE_UTF8:
      return utf2ucs(src, len, dst, cap);
    case KWWW_CODE_GBK:
    case KWWW_CODE_GBK2:
    case KWWW_CODE_GBK3:
      return gbk2ucs(src, len, dst, cap);
  }
  return 0;
}

int ConvFrUnicode(const uint16_t* src, int len, char* dst, int cap, int code) {
  switch (code) {
    case KWWW_CODE_UTF8:
      return ucs2utf(src, len, dst, cap);
    case KWWW_CODE_GBK:
    case KWWW_CODE_GBK2:
    case KWWW_CODE_GBK3:
      return ucs2gbk(src, len, dst, cap);
  }
  return 0;
}

int convert_unicode(const char* src, int len, uint16_t* dst, int cap, const char* charset,
                    int namelen) {
  if (len <= 0 || cap <= 0) return 0;
  if (namelen == 0) namelen = static_cast<int>(strlen(charset));
  if (namelen <= 0 || namelen > kMaxCharsetName) return 0;
  const std::string name(charset, namelen);
  iconv_t cd = iconv_open("UCS-2LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  const size_t step = SkipStep(name);
  char* in = const_cast<char*>(src);
  size_t inleft = static_cast<size_t>(len);
  char* out = reinterpret_cast<char*>(dst);
  size_t outleft = static_cast<size_t>(cap) * 2;
  for (int skipped = 0; inleft > 0;) {
    if (iconv(cd, &in, &inleft, &out, &outleft) != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ || skipped == kMaxSkippedBytes || inleft < 2) break;
    ++skipped;
    in += step;
    inleft -= step;
  }
  iconv_close(cd);
  int units = static_cast<int>((out - reinterpret_cast<char*>(dst)) / 2);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (int i = 0; i < units; ++i) dst[i] = static_cast<uint16_t>((dst[i] << 8) | (dst[i] >> 8));
#endif
  return units;
}
