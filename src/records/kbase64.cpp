#include "kbase64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

// Encodes straight into the result, whose one allocation a work buffer would
// not save.
std::string kbase64_encode(const char* data, size_t len) {
  if (len == 0 || len >= kBase64MaxInput) return std::string();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(data);
  std::string out;
  out.reserve((len + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= len; i += 3) {
    unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += kAlphabet[(v >> 6) & 0x3F];
    out += kAlphabet[v & 0x3F];
  }
  if (i < len) {
    unsigned v = in[i] << 16;
    if (i + 1 < len) v |= in[i + 1] << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += i + 1 < len ? kAlphabet[(v >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}
