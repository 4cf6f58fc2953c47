// Converts byte strings between named encodings through iconv and names the
// byte order mark a text starts with. Detection lives in kpub/encdetect.h.
// Thread-safety: any thread; each thread opens its own set of the four cached
// converters (GB18030 and Big5 to and from UTF-8) on its first conversion.
#ifndef KPUB_CODECONV_H_
#define KPUB_CODECONV_H_

#include <stddef.h>

#include <string>

#include "kpub/encdetect.h"

namespace KPub {

// Converts like iconv(3), advancing *in and *out and decreasing the counts,
// then writes a zero byte at *out (the caller leaves room for it). Returns the
// converter's result (irreversible conversions, or -1 with errno set), or -2
// when no converter between the two names can be opened.
int code_conv(const char* from, const char* to, char** in, size_t* inleft, char** out,
              size_t* outleft);

// Replaces `out` with `in` converted from `from` to `to`. Returns len minus the
// irreversible conversions on success; a negative code on failure, with `out`
// empty and two error records on "kpub.codeconv". Returns 0 and leaves `out`
// alone for empty input. Names equal up to their first "/" copy the input.
int str_conv(const char* from, const char* to, const char* in, size_t len, std::string& out);
inline int str_conv(const char* from, const char* to, const std::string& in, std::string& out) {
  return str_conv(from, to, in.data(), in.size(), out);
}

// Name of the encoding whose byte order mark starts the len bytes at s, with
// *bomlen set to the mark's length; "" and 0 when there is none.
const char* check_bom(const char* s, size_t len, size_t* bomlen);

}  // namespace KPub

#endif  // KPUB_CODECONV_H_
