// Turns an HTML page of unknown encoding into normalised text: picks the
// charset (URL rules, meta declaration checked against the bytes, optional
// hint, byte statistics), decodes to 16-bit units, resolves long numeric
// character references, folds whitespace, maps traditional Chinese and
// full-width forms, and encodes the result. Input is untrusted; output never
// exceeds the given capacities. No state between calls: any thread, each
// with its own buffers (but not while html_init/html_destroy run).
#ifndef HTMLCHARSET_HTML_PROCESS_H_
#define HTMLCHARSET_HTML_PROCESS_H_

#include <stdint.h>

enum html_output_t { HTML_OUTPUT_UTF8 = 0, HTML_OUTPUT_GBK = 1, HTML_OUTPUT_UNITS = 2 };

// Decodes the srclen bytes at src into work (workcap units) and, for UTF-8
// or GBK output, encodes them into out (outcap bytes, zero-terminated).
// Returns the bytes written to out, or for HTML_OUTPUT_UNITS the units left
// in work; 0 when nothing was converted (out is then empty). hint (a charset
// name) and url may be null.
int html_process(const char* src, int srclen, char* out, int outcap, uint16_t* work, int workcap,
                 int outtype, const char* hint, const char* url);

// Replaces every "&#" reference of 4 to 6 digits (decimal, or hexadecimal
// with an "x") and its ";" by the unit it names, values 0 and 9 to 13 by a
// blank. Returns the new count.
int resolve_numeric_refs(uint16_t* units, int n);

#endif  // HTMLCHARSET_HTML_PROCESS_H_
