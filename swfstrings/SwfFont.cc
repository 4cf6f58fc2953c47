#include "swfstrings/SwfFont.h"

#include <algorithm>
#include <map>

#include "swfstrings/SwfText.h"

namespace {

// DefineFontInfo and DefineFontInfo2 flags.
constexpr uint8_t kInfoSmallText = 0x20;
constexpr uint8_t kInfoShiftJis = 0x10;
constexpr uint8_t kInfoAnsi = 0x08;
constexpr uint8_t kInfoItalic = 0x04;
constexpr uint8_t kInfoBold = 0x02;
constexpr uint8_t kInfoWideCodes = 0x01;
// DefineFont2 and DefineFont3 flags.
constexpr uint8_t kFont2HasLayout = 0x80;
constexpr uint8_t kFont2ShiftJis = 0x40;
constexpr uint8_t kFont2SmallText = 0x20;
constexpr uint8_t kFont2Ansi = 0x10;
constexpr uint8_t kFont2WideOffsets = 0x08;
constexpr uint8_t kFont2WideCodes = 0x04;
constexpr uint8_t kFont2Italic = 0x02;
constexpr uint8_t kFont2Bold = 0x01;

using FontIndex = std::map<int, size_t>;

bool IsFontDefinition(uint16_t code) {
  return code == kSwfTagDefineFont || code == kSwfTagDefineFont2 || code == kSwfTagDefineFont3;
}

int Flag(uint8_t flags, uint8_t bit, int value) { return (flags & bit) ? value : 0; }

void SetCodeTable(SwfFont& f, std::vector<uint16_t> codes) {
  f.m_glyph2code = std::move(codes);
  f.m_code2glyph.clear();
  for (size_t g = 0; g < f.m_glyph2code.size(); ++g) {
    if (f.m_glyph2code[g] != 0) f.m_code2glyph.emplace_back(f.m_glyph2code[g], g);
  }
  // The first glyph given a code keeps it.
  std::stable_sort(f.m_code2glyph.begin(), f.m_code2glyph.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto last = std::unique(f.m_code2glyph.begin(), f.m_code2glyph.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; });
  f.m_code2glyph.erase(last, f.m_code2glyph.end());
}

std::vector<uint16_t> ReadCodes(SwfBitReader& r, int count, bool wide) {
  std::vector<uint16_t> codes;
  for (int g = 0; g < count && r.ok(); ++g) codes.push_back(wide ? r.getU16() : r.getU8());
  codes.resize(count, 0);
  return codes;
}

void ReadDefineFont(const SwfTag& tag, SwfFont& f) {
  SwfBitReader r = tag.reader();
  r.getU16();
  // The first offset points just past the offset table: two bytes per glyph.
  uint16_t first = r.getU16();
  f.m_iVersion = 1;
  f.m_iGlyphCount = r.ok() ? static_cast<int>(std::min<size_t>(first / 2, r.left() / 2 + 1)) : 0;
}

void ReadFontInfo(const SwfTag& tag, SwfFont& f) {
  SwfBitReader r = tag.reader();
  r.getU16();
  std::string name = r.getBytes(r.getU8());
  uint8_t flags = r.getU8();
  int language = tag.m_iCode == kSwfTagDefineFontInfo2 ? r.getU8() : 0;
  if (!r.ok()) return;
  f.m_strName = name;
  f.m_iLanguage = language;
  f.m_iStyle = Flag(flags, kInfoBold, kSwfFontBold) | Flag(flags, kInfoItalic, kSwfFontItalic);
  f.m_iEncoding = Flag(flags, kInfoAnsi, kSwfFontAnsi) |
                  Flag(flags, kInfoShiftJis, kSwfFontShiftJis) |
                  Flag(flags, kInfoSmallText, kSwfFontSmallText);
  SetCodeTable(f, ReadCodes(r, f.m_iGlyphCount, (flags & kInfoWideCodes) != 0));
}

void ReadLayout(SwfBitReader& r, SwfFont& f, bool wideCodes) {
  f.m_bHasLayout = true;
  f.m_iAscent = r.getS16();
  f.m_iDescent = r.getS16();
  f.m_iLeading = r.getS16();
  for (int g = 0; g < f.m_iGlyphCount && r.ok(); ++g) f.m_advances.push_back(r.getS16());
  for (int g = 0; g < f.m_iGlyphCount && r.ok(); ++g) f.m_bounds.push_back(r.getRect());
  int kernings = r.getU16();
  for (int k = 0; k < kernings && r.ok(); ++k) {
    SwfKerning kern;
    kern.m_iCode1 = wideCodes ? r.getU16() : r.getU8();
    kern.m_iCode2 = wideCodes ? r.getU16() : r.getU8();
    kern.m_iAdjustment = r.getS16();
    if (r.ok()) f.m_kerning.push_back(kern);
  }
}

void ReadDefineFont2(const SwfTag& tag, SwfFont& f) {
  SwfBitReader r = tag.reader();
  r.getU16();
  uint8_t flags = r.getU8();
  f.m_iVersion = tag.m_iCode == kSwfTagDefineFont3 ? 3 : 2;
  f.m_iLanguage = r.getU8();
  f.m_strName = r.getBytes(r.getU8());
  f.m_iStyle = Flag(flags, kFont2Bold, kSwfFontBold) | Flag(flags, kFont2Italic, kSwfFontItalic);
  f.m_iEncoding = Flag(flags, kFont2Ansi, kSwfFontAnsi) |
                  Flag(flags, kFont2ShiftJis, kSwfFontShiftJis) |
                  Flag(flags, kFont2SmallText, kSwfFontSmallText);
  size_t glyphs = r.getU16();
  size_t offsetSize = (flags & kFont2WideOffsets) ? 4 : 2;
  size_t tableStart = r.pos();
  // A glyph count the offset table cannot hold is cut to what the tag holds.
  glyphs = r.left() >= offsetSize ? std::min(glyphs, r.left() / offsetSize - 1) : 0;
  f.m_iGlyphCount = r.ok() ? static_cast<int>(glyphs) : 0;
  if (f.m_iGlyphCount == 0) return;
  r.skip(glyphs * offsetSize);
  size_t codeOffset = offsetSize == 4 ? r.getU32() : r.getU16();
  if (!r.ok() || !r.seek(tableStart + codeOffset)) return;
  bool wideCodes = (flags & kFont2WideCodes) || f.m_iVersion == 3;
  SetCodeTable(f, ReadCodes(r, f.m_iGlyphCount, wideCodes));
  if (flags & kFont2HasLayout) ReadLayout(r, f, wideCodes);
}

void ReadAlignZones(const SwfTag& tag, SwfFont& f) {
  SwfBitReader r = tag.reader();
  r.getU16();
  f.m_iCsmHint = r.getU8() >> 6;
  f.m_alignZones.clear();
  for (int g = 0; g < f.m_iGlyphCount && r.ok(); ++g) {
    SwfAlignZone zone;
    int values = 2 * r.getU8();
    for (int i = 0; i < values && r.ok(); ++i) zone.m_data.push_back(r.getU16());
    zone.m_chMask = r.getU8();
    if (r.ok()) f.m_alignZones.push_back(std::move(zone));
  }
}

// Private extension tag: the font id, then one zero-terminated name per glyph.
void ReadGlyphNames(const SwfTag& tag, SwfFont& f) {
  SwfBitReader r = tag.reader();
  r.getU16();
  f.m_glyphNames.clear();
  for (int g = 0; g < f.m_iGlyphCount; ++g) {
    std::string name = r.getString();
    if (!r.ok()) break;
    f.m_glyphNames.push_back(std::move(name));
  }
}

void ApplyFontTag(const SwfTag& tag, SwfFont& f) {
  switch (tag.m_iCode) {
    case kSwfTagDefineFont:
      ReadDefineFont(tag, f);
      break;
    case kSwfTagDefineFont2:
    case kSwfTagDefineFont3:
      ReadDefineFont2(tag, f);
      break;
    case kSwfTagDefineFontInfo:
    case kSwfTagDefineFontInfo2:
      ReadFontInfo(tag, f);
      break;
    case kSwfTagDefineFontAlignZones:
      ReadAlignZones(tag, f);
      break;
    case kSwfTagGlyphNames:
      ReadGlyphNames(tag, f);
      break;
    default:
      break;
  }
}

void MarkGlyphUsage(const SwfFile& swf, const FontIndex& index, std::vector<SwfFont>& fonts) {
  SwfTextBudget budget(kSwfMaxTextWork);
  auto mark = [&](const SwfTextRun& run) {
    auto it = index.find(run.m_iFontId);
    if (it == index.end()) return;
    SwfFont& f = fonts[it->second];
    for (int i = 0; i < run.m_iCount; ++i) {
      if (run.m_pGlyphs[i] < f.m_glyphUsed.size()) f.m_glyphUsed[run.m_pGlyphs[i]] = 1;
    }
  };
  for (const SwfTag& tag : swf.m_tags) {
    if (IsSwfTextTag(tag)) ParseSwfText(tag, nullptr, mark, budget);
  }
}

// A font id defined twice keeps its first definition.
void CollectFonts(const SwfFile& swf, int onlyId, std::vector<SwfFont>& fonts) {
  fonts.clear();
  FontIndex index;
  for (const SwfTag& tag : swf.m_tags) {
    int id = SwfDefinitionId(tag);
    if (id < 0 || (onlyId >= 0 && id != onlyId)) continue;
    auto it = index.find(id);
    if (IsFontDefinition(tag.m_iCode) && it == index.end()) {
      it = index.emplace(id, fonts.size()).first;
      fonts.emplace_back();
      fonts.back().m_iId = id;
    } else if (IsFontDefinition(tag.m_iCode) || it == index.end()) {
      continue;
    }
    ApplyFontTag(tag, fonts[it->second]);
  }
  for (SwfFont& f : fonts) f.m_glyphUsed.assign(f.m_iGlyphCount, 0);
  MarkGlyphUsage(swf, index, fonts);
}

}  // namespace

uint32_t SwfFont::codeOf(uint32_t glyph) const {
  return glyph < m_glyph2code.size() ? m_glyph2code[glyph] : 0;
}

int SwfFont::glyphOf(uint16_t code) const {
  auto it = std::lower_bound(m_code2glyph.begin(), m_code2glyph.end(), code,
                             [](const auto& e, uint16_t c) { return e.first < c; });
  return (it != m_code2glyph.end() && it->first == code) ? it->second : -1;
}

void EnumerateSwfFonts(const SwfFile& swf,
                       const std::function<void(int id, const std::string& name)>& cb) {
  for (const SwfTag& tag : swf.m_tags) {
    if (!IsFontDefinition(tag.m_iCode) && tag.m_iCode != kSwfTagDefineFontInfo) continue;
    SwfBitReader r = tag.reader();
    int id = r.getU16();
    if (!r.ok()) continue;
    std::string name;
    if (tag.m_iCode == kSwfTagDefineFont2) r.skip(2);
    if (tag.m_iCode == kSwfTagDefineFont2 || tag.m_iCode == kSwfTagDefineFontInfo) {
      name = r.getBytes(r.getU8());
    }
    cb(id, name);
  }
}

bool ExtractSwfFont(const SwfFile& swf, int id, SwfFont& font) {
  std::vector<SwfFont> fonts;
  if (id < 0) return false;
  CollectFonts(swf, id, fonts);
  if (fonts.empty()) return false;
  font = std::move(fonts.front());
  return true;
}

void ExtractSwfFonts(const SwfFile& swf, std::vector<SwfFont>& fonts) {
  CollectFonts(swf, -1, fonts);
}
