// One-shot zlib compression (zlib format, default level, no length prefix)
// of page bodies for result records. Pure functions; reentrant.
#ifndef CRAWLER_KCOMPRESS_H_
#define CRAWLER_KCOMPRESS_H_

#include <stddef.h>

#include <string>

// The zlib stream of the input; empty for no input or when zlib fails.
std::string kcompress(const char* data, size_t len);
inline std::string kcompress(const std::string& s) { return kcompress(s.data(), s.size()); }

#endif  // CRAWLER_KCOMPRESS_H_
