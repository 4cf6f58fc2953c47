// Charset types of the HTML charset library, their canonical names and the
// names accepted in declarations. Read-only tables; any thread.
#ifndef HTMLCHARSET_CHARSET_NAMES_H_
#define HTMLCHARSET_CHARSET_NAMES_H_

#include <stddef.h>

enum charset_t : int {
  CHARSET_NONE = 0,
  CHARSET_GBK = 1,
  CHARSET_UTF8 = 2,
  CHARSET_UCS2LE = 3,
  CHARSET_UCS2BE = 4,
  CHARSET_BIG5 = 5,
  CHARSET_EUC_JP = 6,
  CHARSET_SHIFT_JIS = 7,
  CHARSET_EUC_KR = 8,
  CHARSET_ISO_8859_1 = 9,
  CHARSET_WINDOWS_1251 = 10,
  CHARSET_WINDOWS_1252 = 11,
};

namespace htmlcharset {

constexpr int kCharsetTypeCount = 12;
constexpr int kCharsetNameCount = 46;

struct CharsetName {
  const char* name;
  charset_t type;
};

// Canonical name by type; nullptr for CHARSET_NONE.
extern const char* const _g_charset_type_name_map[kCharsetTypeCount];
extern const CharsetName _g_charset_name_type_map[kCharsetNameCount];

}  // namespace htmlcharset

// Type of the len bytes at name (compared without case); CHARSET_NONE when
// unknown. Reads only len bytes.
charset_t charset_name_to_type(const char* name, size_t len);

// Canonical name of type t, or nullptr when t has none (CHARSET_NONE, or a
// number outside the table).
const char* charset_type_name(int t);

#endif  // HTMLCHARSET_CHARSET_NAMES_H_
