// Walks the text records of a DefineText or DefineText2 tag and reports each
// run of glyphs. The tag is untrusted: bit widths above 32, records running
// past the tag and work beyond the caller's budget end the walk. No shared
// state; safe per thread.
#ifndef SWFSTRINGS_SWFTEXT_H
#define SWFSTRINGS_SWFTEXT_H

#include <cstdint>
#include <functional>

#include "swfstrings/SwfBits.h"
#include "swfstrings/SwfFile.h"

// Bounds the records and glyphs walked for one document, so that a small
// text placed over and over, or records of zero-width glyphs, stay cheap.
constexpr long kSwfMaxTextWork = 8L << 20;

class SwfTextBudget {
 public:
  explicit SwfTextBudget(long units) : m_lLeft(units) {}
  bool take(long units);

 private:
  long m_lLeft;
};

struct SwfTextHeader {
  int m_iId = -1;
  SwfRect m_bounds;
  SwfMatrix m_matrix;
};

struct SwfTextRun {
  const uint32_t* m_pGlyphs = nullptr;
  const int32_t* m_pAdvances = nullptr;
  int m_iCount = 0;
  int m_iFontId = -1;
  int m_iFontSize = 0;
  int64_t m_lX = 0;
  int64_t m_lY = 0;
  uint32_t m_iColour = 0;  // 0xRRGGBBAA
};

using SwfTextCallback = std::function<void(const SwfTextRun& run)>;

// Returns false when the tag is no text tag or its header is unreadable.
bool ParseSwfText(const SwfTag& tag, SwfTextHeader* header, const SwfTextCallback& cb,
                  SwfTextBudget& budget);

#endif
