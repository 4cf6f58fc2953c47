// One SWF file read from untrusted memory into its header and flat tag list
// (sprite contents follow their sprite as ordinary tags). Reading never goes
// outside the given block and stops at fixed size and tag-count limits.
// A SwfFile belongs to one thread.
#ifndef SWFSTRINGS_SWFFILE_H
#define SWFSTRINGS_SWFFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "swfstrings/SwfBits.h"

enum SwfTagCode {
  kSwfTagEnd = 0,
  kSwfTagPlaceObject = 4,
  kSwfTagDefineFont = 10,
  kSwfTagDefineText = 11,
  kSwfTagDefineFontInfo = 13,
  kSwfTagPlaceObject2 = 26,
  kSwfTagDefineText2 = 33,
  kSwfTagDefineSprite = 39,
  kSwfTagDefineFont2 = 48,
  kSwfTagDefineFontInfo2 = 62,
  kSwfTagFileAttributes = 69,
  kSwfTagPlaceObject3 = 70,
  kSwfTagDefineFontAlignZones = 73,
  kSwfTagDefineFont3 = 75,
  kSwfTagGlyphNames = 778,
};

// Largest (uncompressed) file taken in; compressed files inflate at most this far.
constexpr size_t kSwfMaxFileLength = 32u << 20;
// Tag-list cap, so that a flood of empty tags cannot exhaust memory.
constexpr size_t kSwfMaxTags = 1u << 20;

// A tag's read position lives in the SwfBitReader made over its data, so
// several readers may walk one tag independently.
struct SwfTag {
  uint16_t m_iCode = 0;
  uint32_t m_iLength = 0;
  std::vector<unsigned char> m_data;

  SwfBitReader reader() const { return SwfBitReader(m_data.data(), m_data.size()); }
};

// The previous and next tags of m_tags[i] are m_tags[i - 1] and m_tags[i + 1].
struct SwfFile {
  int m_iVersion = 0;
  uint32_t m_iFileLength = 0;
  SwfRect m_frame;
  uint16_t m_iFrameRate = 0;  // 8.8 fixed point
  uint16_t m_iFrameCount = 0;
  uint32_t m_iFileAttributes = 0;
  size_t m_lBytesRead = 0;  // uncompressed bytes taken in, header included
  std::vector<SwfTag> m_tags;
};

// Reads an "FWS" or "CWS" file at data. Warnings go to *warnings when given,
// else to standard error. Returns the input bytes consumed, or -1 when the
// block is not a readable SWF file (swf is then empty). Throws
// SimpleException when a compressed file's zlib stream is damaged.
long ReadSwfFromMemory(const unsigned char* data, size_t length, SwfFile& swf,
                       std::string* warnings);

bool IsSwfTextTag(const SwfTag& tag);
bool IsSwfPlaceTag(const SwfTag& tag);
// The character id a definition tag starts with, -1 when the tag is too short.
int SwfDefinitionId(const SwfTag& tag);
void FreeSwf(SwfFile& swf);

#endif
