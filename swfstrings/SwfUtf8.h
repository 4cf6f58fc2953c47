// UTF-8 encoding of one character code taken from SWF text. Pure function;
// safe from any thread.
#ifndef SWFSTRINGS_SWFUTF8_H
#define SWFSTRINGS_SWFUTF8_H

#include <cstdint>
#include <string>

// Codes that are no Unicode scalar value (surrogates, above U+10FFFF) come
// out as U+FFFD, so the text stays well-formed for later conversion.
void SwfAppendUtf8(std::string& out, uint32_t code);

#endif
