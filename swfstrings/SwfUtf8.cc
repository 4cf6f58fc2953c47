#include "swfstrings/SwfUtf8.h"

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint32_t kMaxScalar = 0x10FFFF;
constexpr uint32_t kSurrogateFirst = 0xD800;
constexpr uint32_t kSurrogateLast = 0xDFFF;

}  // namespace

void SwfAppendUtf8(std::string& out, uint32_t code) {
  if (code > kMaxScalar || (code >= kSurrogateFirst && code <= kSurrogateLast)) {
    code = kReplacement;
  }
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}
