#include "swfstrings/SwfText.h"

namespace {

constexpr uint8_t kRecordIsStyle = 0x80;
constexpr uint8_t kHasFont = 0x08;
constexpr uint8_t kHasColour = 0x04;
constexpr uint8_t kHasYOffset = 0x02;
constexpr uint8_t kHasXOffset = 0x01;
constexpr uint8_t kGlyphCountMask = 0x7f;
constexpr int kMaxGlyphsPerRecord = 255;

void ReadStyle(SwfBitReader& r, uint8_t flags, bool rgba, SwfTextRun& run) {
  if (flags & kHasFont) run.m_iFontId = r.getU16();
  if (flags & kHasColour) {
    uint32_t rgb = static_cast<uint32_t>(r.getU8()) << 24;
    rgb |= static_cast<uint32_t>(r.getU8()) << 16;
    rgb |= static_cast<uint32_t>(r.getU8()) << 8;
    run.m_iColour = rgb | (rgba ? r.getU8() : 0xffu);
  }
  if (flags & kHasXOffset) run.m_lX = r.getS16();
  if (flags & kHasYOffset) run.m_lY = r.getS16();
  if (flags & kHasFont) run.m_iFontSize = r.getU16();
}

}  // namespace

bool SwfTextBudget::take(long units) {
  if (units > m_lLeft) {
    m_lLeft = 0;
    return false;
  }
  m_lLeft -= units;
  return true;
}

bool ParseSwfText(const SwfTag& tag, SwfTextHeader* header, const SwfTextCallback& cb,
                  SwfTextBudget& budget) {
  if (!IsSwfTextTag(tag)) return false;
  SwfBitReader r = tag.reader();
  SwfTextHeader h;
  h.m_iId = r.getU16();
  h.m_bounds = r.getRect();
  h.m_matrix = r.getMatrix();
  int glyphBits = r.getU8();
  int advanceBits = r.getU8();
  if (!r.ok() || glyphBits > kSwfMaxBitField || advanceBits > kSwfMaxBitField) return false;
  if (header != nullptr) *header = h;
  bool rgba = tag.m_iCode == kSwfTagDefineText2;
  uint32_t glyphs[kMaxGlyphsPerRecord];
  int32_t advances[kMaxGlyphsPerRecord];
  SwfTextRun run;
  run.m_pGlyphs = glyphs;
  run.m_pAdvances = advances;
  for (;;) {
    uint8_t flags = r.getU8();
    if (!r.ok() || flags == 0) break;
    // A style record carries its glyph count in the next byte; the older
    // form packs the count into the record byte itself.
    int count = flags & kGlyphCountMask;
    if (flags & kRecordIsStyle) {
      ReadStyle(r, flags, rgba, run);
      count = r.getU8();
    }
    for (int i = 0; i < count; ++i) {
      glyphs[i] = r.getBits(glyphBits);
      advances[i] = r.getSBits(advanceBits);
    }
    r.align();
    if (!r.ok() || !budget.take(1 + count)) break;
    run.m_iCount = count;
    if (count > 0) cb(run);
    for (int i = 0; i < count; ++i) run.m_lX += advances[i];
  }
  return true;
}
