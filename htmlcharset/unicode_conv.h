// Decoders to and encoders from 16-bit Unicode units: GBK and UTF-8 through
// fixed tables, any other charset through iconv. Every function writes at
// most `cap` units or bytes and reads only `len` input units or bytes.
// No state: any thread (iconv descriptors are opened per call).
#ifndef HTMLCHARSET_UNICODE_CONV_H_
#define HTMLCHARSET_UNICODE_CONV_H_

#include <stdint.h>

// Conversion codes of ConvToUnicode and ConvFrUnicode.
enum kwww_code_t { KWWW_CODE_GBK = 0, KWWW_CODE_UTF8 = 1, KWWW_CODE_GBK2 = 2, KWWW_CODE_GBK3 = 3 };

// Units produced. Malformed GBK and UTF-8 give U+FFFD; an incomplete UTF-8
// sequence at the very end is dropped.
int gbk2ucs(const char* src, int len, uint16_t* dst, int cap);
int utf2ucs(const char* src, int len, uint16_t* dst, int cap);
// Bytes produced. GBK writes a blank for units it cannot encode.
int ucs2gbk(const uint16_t* src, int len, char* dst, int cap);
int ucs2utf(const uint16_t* src, int len, char* dst, int cap);

int ConvToUnicode(const char* src, int len, uint16_t* dst, int cap, int code);
int ConvFrUnicode(const uint16_t* src, int len, char* dst, int cap, int code);

// Units decoded from `charset` (namelen bytes, or zero-terminated when
// namelen is 0) through iconv; 0 when iconv does not know the name. Invalid
// input bytes are skipped, up to a limit.
int convert_unicode(const char* src, int len, uint16_t* dst, int cap, const char* charset,
                    int namelen);

#endif  // HTMLCHARSET_UNICODE_CONV_H_
