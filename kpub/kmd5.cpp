#include "kpub/kmd5.h"

#include <openssl/evp.h>

namespace KPub {

std::string Md5Hex(const void* data, size_t len) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(data, len, digest, &n, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * n);
  for (unsigned int i = 0; i < n; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0x0f]);
  }
  return out;
}

}  // namespace KPub
