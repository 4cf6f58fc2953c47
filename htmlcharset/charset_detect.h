// Byte-statistics detectors of the HTML charset library. Each reads the bytes
// in [start, end) only (input is untrusted), stops after a few hundred high
// bytes, and takes a ratio threshold r (callers pass kDetectRatio).
// Pure functions; any thread.
#ifndef HTMLCHARSET_CHARSET_DETECT_H_
#define HTMLCHARSET_CHARSET_DETECT_H_

namespace htmlcharset {
constexpr int kDetectRatio = 8;
}

// Pairs that are common GBK (Big5) characters; positive when at least one in
// r high bytes starts one.
int is_gp_gbk_encoding(const unsigned char* start, const unsigned char* end, int r);
int is_gp_big5_encoding(const unsigned char* start, const unsigned char* end, int r);
// Positive: well-formed UTF-8 sequences dominate; 0: not UTF-8; negative:
// minus the three-byte sequences of a text that is partly UTF-8.
int is_utf8_encoding_ignore(const unsigned char* start, const unsigned char* end, int r);
// Positive: three-byte sequences and nothing malformed; otherwise 0 or minus
// the two-byte sequences.
int is_utf8_encoding_strict(const unsigned char* start, const unsigned char* end, int r);
// Positive: GB2312 pairs dominate; -1: almost every high byte is a lone
// GB2312 first byte; 0 otherwise.
int is_gbk_encoding(const unsigned char* start, const unsigned char* end, int r);
int is_euc_jp_encoding(const unsigned char* start, const unsigned char* end, int r);
int is_sjis_jp_encoding(const unsigned char* start, const unsigned char* end, int r);
int is_euc_kr_encoding(const unsigned char* start, const unsigned char* end, int r);
// 3: windows-1252 (e acute frequent), 2: windows-1251, 1: few Latin letters
// (iso-8859-1), 0: none of these.
int is_iso_8859_encoding(const unsigned char* start, const unsigned char* end, int r);

#endif  // HTMLCHARSET_CHARSET_DETECT_H_
