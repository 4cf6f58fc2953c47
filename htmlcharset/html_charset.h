// Names the character set of an HTML page: byte order mark, meta declaration
// checked against byte statistics, then statistics for Chinese, Japanese,
// Korean, Cyrillic and Latin text. Input is untrusted and read only within
// the given length. Pure functions, no state: any thread.
#ifndef HTMLCHARSET_HTML_CHARSET_H_
#define HTMLCHARSET_HTML_CHARSET_H_

#include <stddef.h>

#include "htmlcharset/charset_names.h"

// Charset of the len bytes at text. `name` (capacity cap, always terminated
// when cap > 0) receives the charset's canonical name, else the declared name
// the page gives, else a guess ("utf8", "gbk" or "iso-8859-1"); it is empty
// for texts of 5 bytes or fewer, which give CHARSET_NONE.
charset_t html_charset(const char* text, int len, char* name, int cap);

// Charset type from marks, statistics and meta declarations. *name and
// *namelen report the last declaration read (nullptr and 0 when none); a
// "utf-8" declaration that the statistics contradict is reported with
// length 0.
charset_t get_html_charset(const char* text, int len, const char** name, int* namelen);

// Reads the charset declared by the meta tag whose text starts at p (just
// past "<meta") and ends at the first ">" before end. Returns the name's
// length with *name pointing into the tag, or 0 when the tag declares none.
int get_meta_charset(const char* p, const char* end, const char** name, int* namelen);

// `type` when the first 2048 of the len bytes are plausible for it, else -1.
int meta_charset_check(const char* text, int len, int type);

#endif  // HTMLCHARSET_HTML_CHARSET_H_
