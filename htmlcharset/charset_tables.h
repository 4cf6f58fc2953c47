// Constant lookup tables of the HTML charset library, built at compile time
// from the generated data headers. Read-only; any thread.
#ifndef HTMLCHARSET_CHARSET_TABLES_H_
#define HTMLCHARSET_CHARSET_TABLES_H_

#include <stdint.h>

namespace htmlcharset {

constexpr int kTableSize = 65536;

// GBK to Unicode, indexed by first byte + 256 * second byte for pairs and by
// the byte itself below 0x81; 0 where GBK has no character.
extern const uint16_t* const _g_map_gbk2ucs;
// Unicode to GBK as first byte + 256 * second byte, or a single byte value;
// 0 where GBK has no form.
extern const uint16_t* const _g_map_ucs2gbk;
// Unicode normalisation: control characters to blanks, a few punctuation
// forms and full-width ASCII to ASCII, traditional Chinese to simplified.
extern const uint16_t* const _g_gbk_map;
// Common Chinese characters, indexed by first byte * 256 + second byte.
extern const bool* const _g_gbk_gp_index;
extern const bool* const _g_big5_gp_index;

}  // namespace htmlcharset

#endif  // HTMLCHARSET_CHARSET_TABLES_H_
