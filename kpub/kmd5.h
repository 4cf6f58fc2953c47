// MD5 (RFC 1321) digests printed as 32 lower-case hexadecimal digits.
// Pure function, any thread.
#ifndef KPUB_KMD5_H_
#define KPUB_KMD5_H_

#include <stddef.h>

#include <string>

namespace KPub {

std::string Md5Hex(const void* data, size_t len);
inline std::string Md5Hex(const std::string& s) { return Md5Hex(s.data(), s.size()); }

}  // namespace KPub

#endif  // KPUB_KMD5_H_
