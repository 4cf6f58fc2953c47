// Fonts of one SWF file: enumeration of the font tags and extraction of each
// font's names, flags, glyph-to-character table and layout. Works on an
// already read SwfFile (untrusted content; every table is bounded by its tag
// and by the font's glyph count). No shared state; safe per thread.
#ifndef SWFSTRINGS_SWFFONT_H
#define SWFSTRINGS_SWFFONT_H

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "swfstrings/SwfBits.h"
#include "swfstrings/SwfFile.h"

enum SwfFontStyle { kSwfFontBold = 1, kSwfFontItalic = 2 };
enum SwfFontEncoding { kSwfFontAnsi = 1, kSwfFontShiftJis = 2, kSwfFontSmallText = 4 };

struct SwfKerning {
  uint16_t m_iCode1 = 0;
  uint16_t m_iCode2 = 0;
  int16_t m_iAdjustment = 0;
};

struct SwfAlignZone {
  std::vector<uint16_t> m_data;  // alignment coordinate and range pairs, half floats
  uint8_t m_chMask = 0;
};

struct SwfFont {
  int m_iId = -1;
  int m_iVersion = 0;  // 1 DefineFont, 2 DefineFont2, 3 DefineFont3
  std::string m_strName;
  int m_iStyle = 0;     // SwfFontStyle bits
  int m_iEncoding = 0;  // SwfFontEncoding bits
  int m_iLanguage = 0;
  int m_iGlyphCount = 0;
  std::vector<uint16_t> m_glyph2code;  // empty when the file carries no code table
  std::vector<std::pair<uint16_t, uint16_t>> m_code2glyph;  // sorted by code
  std::vector<uint8_t> m_glyphUsed;                         // glyphs referenced by the file's text
  bool m_bHasLayout = false;
  int16_t m_iAscent = 0;
  int16_t m_iDescent = 0;
  int16_t m_iLeading = 0;
  std::vector<int16_t> m_advances;
  std::vector<SwfRect> m_bounds;
  std::vector<SwfKerning> m_kerning;
  int m_iCsmHint = 0;
  std::vector<SwfAlignZone> m_alignZones;
  std::vector<std::string> m_glyphNames;

  // The character code of a glyph, 0 when the font has none for it.
  uint32_t codeOf(uint32_t glyph) const;
  // The glyph of a character code, -1 when the font has none.
  int glyphOf(uint16_t code) const;
};

// Calls back once per font tag (DefineFont, DefineFontInfo, DefineFont2,
// DefineFont3) with its font id and, for DefineFontInfo and DefineFont2, the
// name the tag stores (empty otherwise).
void EnumerateSwfFonts(const SwfFile& swf,
                       const std::function<void(int id, const std::string& name)>& cb);

// Collects everything the file says about font id; false when id is never
// defined.
bool ExtractSwfFont(const SwfFile& swf, int id, SwfFont& font);

// The same for every font of the file in one pass, in order of definition.
void ExtractSwfFonts(const SwfFile& swf, std::vector<SwfFont>& fonts);

#endif
