// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks) of page
// bodies and other record fields. Pure functions; reentrant.
#ifndef CRAWLER_KBASE64_H_
#define CRAWLER_KBASE64_H_

#include <stddef.h>

#include <string>

// Longer inputs would overflow the 32-bit output length.
constexpr size_t kBase64MaxInput = 0xBFFFFFFE;

// Empty for no input and for inputs of kBase64MaxInput bytes or more.
std::string kbase64_encode(const char* data, size_t len);
inline std::string kbase64_encode(const std::string& s) {
  return kbase64_encode(s.data(), s.size());
}

#endif  // CRAWLER_KBASE64_H_
