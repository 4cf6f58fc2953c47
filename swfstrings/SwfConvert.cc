#include "swfstrings/SwfConvert.h"

#include <iconv.h>

#include <cstring>
#include <vector>

#include "swfstrings/SwfResult.h"

int ConvertUtf8ToGb18030(const std::string& utf8, std::string& out) {
  iconv_t cd = iconv_open("gb18030", "utf-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return kSwfIconvOpenFailed;
  // No character grows beyond twice its UTF-8 length in GB18030.
  size_t capacity = 2 * utf8.size();
  std::vector<char> buf(capacity + 1, 0);
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* outp = buf.data();
  size_t outLeft = capacity;
  size_t rc = iconv(cd, &in, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return kSwfIconvConvertFailed;
  size_t produced = capacity - outLeft;
  out.assign(buf.data(), strnlen(buf.data(), produced));
  return kSwfOk;
}
