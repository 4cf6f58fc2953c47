// JSON string quoting for result records, with the UTF-8 checks it decodes
// with: valid non-ASCII text leaves as \u escapes, invalid bytes pass raw.
// Pure functions over zero-terminated text; reentrant.
#ifndef CRAWLER_JSON_QUOTE_H_
#define CRAWLER_JSON_QUOTE_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

// A JSON string literal, quotes included, of the text up to its first zero.
std::string valueToQuotedString(const char* value);

// Length of the sequence a lead byte announces: 1 to 4, 0 when invalid.
int utf8_check_first(char byte);
// True when `size` bytes (2 to 4) form one valid, shortest-form sequence
// outside the surrogates; the code point goes to *codepoint when non-null.
bool utf8_check_full(const char* bytes, size_t size, int32_t* codepoint);
// The position after the sequence at `text` (text itself at a zero byte),
// or null when the sequence is invalid.
const char* utf8_iterate(const char* text, int32_t* codepoint);

#endif  // CRAWLER_JSON_QUOTE_H_
