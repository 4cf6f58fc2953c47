#include "json_quote.h"

#include <stdio.h>

namespace {

struct ShortEscape {
  char byte;
  const char* text;
};

const ShortEscape kShortEscapes[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
    {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"},
};

constexpr unsigned char kFirstLead = 0xC2;
constexpr unsigned char kLastLead = 0xF4;
constexpr int32_t kMaxBmp = 0xFFFF;
constexpr int32_t kMaxCodePoint = 0x10FFFF;

bool NeedsEscaping(const char* s) {
  for (; *s != '\0'; ++s) {
    unsigned char c = static_cast<unsigned char>(*s);
    if (c == '"' || c == '\\' || c < 0x20 || (c >= kFirstLead && c <= kLastLead)) return true;
  }
  return false;
}

const char* ShortEscapeOf(char c) {
  for (const ShortEscape& e : kShortEscapes) {
    if (e.byte == c) return e.text;
  }
  return nullptr;
}

void AppendCodePoint(std::string& out, int32_t cp) {
  char buf[16];
  if (cp <= kMaxBmp) {
    snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(cp));
  } else {
    unsigned high = 0xD800 | (((cp >> 10) - 64) & 0x3FF);
    unsigned low = 0xDC00 | (cp & 0x3FF);
    snprintf(buf, sizeof(buf), "\\u%04x\\u%04x", high, low);
  }
  out += buf;
}

// Appends the escaped form of the character at `p`; returns the next one.
const char* AppendEscaped(std::string& out, const char* p) {
  const char* shortEscape = ShortEscapeOf(*p);
  unsigned char c = static_cast<unsigned char>(*p);
  if (shortEscape != nullptr) {
    out += shortEscape;
    return p + 1;
  }
  if (c < 0x20) {
    char buf[8];
    snprintf(buf, sizeof(buf), "\\u%04X", c);
    out += buf;
    return p + 1;
  }
  int32_t cp = 0;
  const char* next = utf8_iterate(p, &cp);
  if (next == nullptr || cp < 0x80) {
    out += *p;
    return p + 1;
  }
  AppendCodePoint(out, cp);
  return next;
}

}  // namespace

int utf8_check_first(char byte) {
  unsigned char u = static_cast<unsigned char>(byte);
  if (u < 0x80) return 1;
  if (u < kFirstLead || u > kLastLead) return 0;
  if (u < 0xE0) return 2;
  if (u < 0xF0) return 3;
  return 4;
}

bool utf8_check_full(const char* bytes, size_t size, int32_t* codepoint) {
  static const unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
  static const int32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (size < 2 || size > 4) return false;
  int32_t cp = static_cast<unsigned char>(bytes[0]) & kLeadMask[size];
  for (size_t i = 1; i < size; ++i) {
    unsigned char u = static_cast<unsigned char>(bytes[i]);
    if (u < 0x80 || u > 0xBF) return false;
    cp = (cp << 6) | (u & 0x3F);
  }
  if (cp > kMaxCodePoint || (cp >= 0xD800 && cp <= 0xDFFF) || cp < kShortest[size]) return false;
  if (codepoint != nullptr) *codepoint = cp;
  return true;
}

// A continuation byte check fails at the terminating zero, so no sequence is
// read past the end of the text.
const char* utf8_iterate(const char* text, int32_t* codepoint) {
  if (*text == '\0') return text;
  int count = utf8_check_first(*text);
  if (count == 0) return nullptr;
  if (count == 1) {
    if (codepoint != nullptr) *codepoint = static_cast<unsigned char>(*text);
    return text + 1;
  }
  for (int i = 1; i < count; ++i) {
    if (text[i] == '\0') return nullptr;
  }
  if (!utf8_check_full(text, static_cast<size_t>(count), codepoint)) return nullptr;
  return text + count;
}

std::string valueToQuotedString(const char* value) {
  if (value == nullptr) value = "";
  if (!NeedsEscaping(value)) return std::string("\"") + value + "\"";
  std::string out;
  out.reserve(2 * std::char_traits<char>::length(value) + 3);
  out += '"';
  for (const char* p = value; *p != '\0';) p = AppendEscaped(out, p);
  out += '"';
  return out;
}
