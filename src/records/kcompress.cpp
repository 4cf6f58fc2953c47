#include "kcompress.h"

#include <zlib.h>

// The output room is zlib's own bound: a fixed margin over the input length
// is too small for large incompressible pages, which would then go out empty.
std::string kcompress(const char* data, size_t len) {
  if (len == 0) return std::string();
  uLongf outLen = compressBound(static_cast<uLong>(len));
  std::string out(outLen, '\0');
  if (compress(reinterpret_cast<Bytef*>(&out[0]), &outLen, reinterpret_cast<const Bytef*>(data),
               static_cast<uLong>(len)) != Z_OK) {
    return std::string();
  }
  out.resize(outLen);
  return out;
}
