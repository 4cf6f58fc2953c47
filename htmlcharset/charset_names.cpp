#include "htmlcharset/charset_names.h"

#include <string.h>
#include <strings.h>

namespace htmlcharset {

const char* const _g_charset_type_name_map[kCharsetTypeCount] = {
    nullptr,  "gbk",       "utf-8",  "ucs-2le",    "ucs-2be",      "big-5",
    "euc-jp", "shift-jis", "euc-kr", "iso-8859-1", "windows-1251", "windows-1252",
};

const CharsetName _g_charset_name_type_map[kCharsetNameCount] = {
    {"gb", CHARSET_GBK},
    {"gbk", CHARSET_GBK},
    {"gb2312", CHARSET_GBK},
    {"gb13000", CHARSET_GBK},
    {"gb18030", CHARSET_GBK},
    {"euc_cn", CHARSET_GBK},
    {"euc-cn", CHARSET_GBK},
    {"cn_gb", CHARSET_GBK},
    {"iso-2022-cn", CHARSET_GBK},
    {"cp936", CHARSET_GBK},
    {"cp20936", CHARSET_GBK},
    {"utf8", CHARSET_UTF8},
    {"utf-8", CHARSET_UTF8},
    {"iso-10646", CHARSET_UTF8},
    {"ucs-2le", CHARSET_UCS2LE},
    {"utf-16le", CHARSET_UCS2LE},
    {"ucs-2be", CHARSET_UCS2BE},
    {"utf-16be", CHARSET_UCS2BE},
    {"big-5", CHARSET_BIG5},
    {"big5", CHARSET_BIG5},
    {"big5-hkscs", CHARSET_BIG5},
    {"big5hkscs", CHARSET_BIG5},
    {"bigfive", CHARSET_BIG5},
    {"big-five", CHARSET_BIG5},
    {"cn-big5", CHARSET_BIG5},
    {"euc-jp", CHARSET_EUC_JP},
    {"euc_jp", CHARSET_EUC_JP},
    {"eucjp", CHARSET_EUC_JP},
    {"shift-jis", CHARSET_SHIFT_JIS},
    {"shift_jis", CHARSET_SHIFT_JIS},
    {"sjis", CHARSET_SHIFT_JIS},
    {"windows-31j", CHARSET_SHIFT_JIS},
    {"win-31j", CHARSET_SHIFT_JIS},
    {"euc-kr", CHARSET_EUC_KR},
    {"euc_kr", CHARSET_EUC_KR},
    {"euckr", CHARSET_EUC_KR},
    {"ms949", CHARSET_EUC_KR},
    {"ks_c_5601-1987", CHARSET_EUC_KR},
    {"iso-8859-1", CHARSET_ISO_8859_1},
    {"iso_8859_1", CHARSET_ISO_8859_1},
    {"windows-8859-1", CHARSET_ISO_8859_1},
    {"win-8859-1", CHARSET_ISO_8859_1},
    {"windows-1251", CHARSET_WINDOWS_1251},
    {"win-1251", CHARSET_WINDOWS_1251},
    {"windows-1252", CHARSET_WINDOWS_1252},
    {"win-1252", CHARSET_WINDOWS_1252},
};

}  // namespace htmlcharset

charset_t charset_name_to_type(const char* name, size_t len) {
  for (const htmlcharset::CharsetName& n : htmlcharset::_g_charset_name_type_map) {
    if (strlen(n.name) == len && strncasecmp(n.name, name, len) == 0) return n.type;
  }
  return CHARSET_NONE;
}

const char* charset_type_name(int t) {
  if (t < 0 || t >= htmlcharset::kCharsetTypeCount) return nullptr;
  return htmlcharset::_g_charset_type_name_map[t];
}
