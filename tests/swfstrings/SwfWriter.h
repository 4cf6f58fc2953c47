// Test-only writer of small SWF files: bit fields, the records the reader
// understands and whole files, plain or zlib-compressed. Not thread-safe.
#ifndef TESTS_SWFSTRINGS_SWFWRITER_H
#define TESTS_SWFSTRINGS_SWFWRITER_H

#include <cstdint>
#include <string>
#include <vector>

class BitWriter {
 public:
  void bits(uint32_t value, int count);
  void sbits(int32_t value, int count) { bits(static_cast<uint32_t>(value), count); }
  void align() { m_iBit = 0; }
  void u8(uint32_t v);
  void u16(uint32_t v);
  void u32(uint32_t v);
  void bytes(const std::string& s);
  void rect(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax, int nbits = 16);
  void matrix(int32_t sx, int32_t sy, int32_t r0, int32_t r1, int32_t tx, int32_t ty);
  void identity() { matrix(0x10000, 0x10000, 0, 0, 0, 0); }
  const std::string& str() const { return m_out; }

 private:
  std::string m_out;
  int m_iBit = 0;
};

std::string Tag(int code, const std::string& body, bool forceLong = false);
// Header, frame RECT, rate and count, the tags, and an End tag.
std::string SwfFileBytes(const std::string& tags, bool compressed, int version = 8);
// The "CWS" form of an "FWS" file (its first 8 bytes kept but the signature).
std::string CompressSwf(const std::string& file);

struct GlyphRun {
  int fontId;
  std::vector<uint32_t> glyphs;
};

std::string DefineFontTag(int id, int glyphs);
std::string DefineFont2Tag(int id, const std::string& name, const std::vector<uint16_t>& codes,
                           bool wideCodes, bool layout, int code = 48);
std::string DefineFontInfoTag(int id, const std::string& name, const std::vector<uint16_t>& codes,
                              bool wideCodes, bool info2);
// Zones of two alignment values per glyph, CSM hint 1.
std::string AlignZonesTag(int fontId, int glyphs);
std::string GlyphNamesTag(int fontId, const std::vector<std::string>& names);
std::string DefineTextTag(int id, const std::vector<GlyphRun>& runs, int glyphBits = 16,
                          int advanceBits = 8, bool text2 = false);
std::string PlaceObjectTag(int charId, int depth);
std::string PlaceObject2Tag(int charId, int depth, bool move = false);
std::string PlaceObject3Tag(int charId, int depth, const std::string& className);
std::string SpriteTag(int id, const std::string& innerTags);

// The tags of a document showing utf8: a DefineFont2 (id fontId) whose code
// table holds the text's characters, a DefineText (id textId) of them and its
// PlaceObject2.
std::string TextDocumentTags(const std::string& utf8, int fontId = 1, int textId = 2);

// Code points of a UTF-8 text, for code tables.
std::vector<uint16_t> Codes(const std::string& utf8);
std::vector<uint32_t> GlyphsUpTo(size_t count);

#endif
