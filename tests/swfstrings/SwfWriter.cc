#include "SwfWriter.h"

#include <zlib.h>

#include <stdexcept>

void BitWriter::bits(uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (m_iBit == 0) m_out += '\0';
    if ((value >> i) & 1u) m_out.back() = static_cast<char>(m_out.back() | (0x80 >> m_iBit));
    m_iBit = (m_iBit + 1) % 8;
  }
}

void BitWriter::u8(uint32_t v) {
  align();
  m_out += static_cast<char>(v & 0xff);
}

void BitWriter::u16(uint32_t v) {
  u8(v);
  u8(v >> 8);
}

void BitWriter::u32(uint32_t v) {
  u16(v);
  u16(v >> 16);
}

void BitWriter::bytes(const std::string& s) {
  align();
  m_out += s;
}

void BitWriter::rect(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax, int nbits) {
  align();
  bits(nbits, 5);
  sbits(xmin, nbits);
  sbits(xmax, nbits);
  sbits(ymin, nbits);
  sbits(ymax, nbits);
  align();
}

void BitWriter::matrix(int32_t sx, int32_t sy, int32_t r0, int32_t r1, int32_t tx, int32_t ty) {
  align();
  bits(1, 1);
  bits(31, 5);
  sbits(sx, 31);
  sbits(sy, 31);
  bits(1, 1);
  bits(31, 5);
  sbits(r0, 31);
  sbits(r1, 31);
  bits(31, 5);
  sbits(tx, 31);
  sbits(ty, 31);
  align();
}

std::string Tag(int code, const std::string& body, bool forceLong) {
  BitWriter w;
  if (body.size() < 63 && !forceLong) {
    w.u16((code << 6) | body.size());
  } else {
    w.u16((code << 6) | 63);
    w.u32(body.size());
  }
  w.bytes(body);
  return w.str();
}

std::string SwfFileBytes(const std::string& tags, bool compressed, int version) {
  BitWriter movie;
  movie.rect(0, 11000, 0, 8000);
  movie.u16(0x1800);
  movie.u16(1);
  std::string body = movie.str() + tags + Tag(0, "");
  BitWriter head;
  head.bytes("FWS");
  head.u8(version);
  head.u32(body.size() + 8);
  std::string file = head.str() + body;
  return compressed ? CompressSwf(file) : file;
}

std::string CompressSwf(const std::string& file) {
  std::string body = file.size() > 8 ? file.substr(8) : std::string();
  uLongf n = compressBound(body.size());
  std::string z(n, '\0');
  if (compress(reinterpret_cast<Bytef*>(&z[0]), &n, reinterpret_cast<const Bytef*>(body.data()),
               body.size()) != Z_OK) {
    throw std::runtime_error("compress");
  }
  z.resize(n);
  std::string head = file.substr(0, 8);
  head.resize(8, '\0');
  return "CWS" + head.substr(3) + z;
}

namespace {

// Each glyph shape is one byte of fill/line bit counts and an end record.
const char kGlyphShape[] = {0x10, 0x00};

}  // namespace

std::string DefineFontTag(int id, int glyphs) {
  BitWriter w;
  w.u16(id);
  for (int g = 0; g < glyphs; ++g) w.u16(2 * glyphs + 2 * g);
  for (int g = 0; g < glyphs; ++g) w.bytes(std::string(kGlyphShape, 2));
  return Tag(10, w.str());
}

std::string DefineFont2Tag(int id, const std::string& name, const std::vector<uint16_t>& codes,
                           bool wideCodes, bool layout, int code) {
  size_t n = codes.size();
  BitWriter w;
  w.u16(id);
  w.u8((layout ? 0x80 : 0) | (wideCodes ? 0x04 : 0) | 0x01);
  w.u8(1);
  w.u8(name.size());
  w.bytes(name);
  w.u16(n);
  for (size_t g = 0; g < n; ++g) w.u16(2 * n + 2 + 2 * g);
  w.u16(2 * n + 2 + 2 * n);
  for (size_t g = 0; g < n; ++g) w.bytes(std::string(kGlyphShape, 2));
  for (uint16_t c : codes) wideCodes ? w.u16(c) : w.u8(c);
  if (layout) {
    w.u16(900);
    w.u16(200);
    w.u16(10);
    for (size_t g = 0; g < n; ++g) w.u16(500 + g);
    for (size_t g = 0; g < n; ++g) w.rect(0, 500, -900, 200);
    w.u16(1);
    for (int i = 0; i < 2; ++i) wideCodes ? w.u16(codes.empty() ? 0 : codes[0]) : w.u8(0x41);
    w.u16(static_cast<uint16_t>(-30));
  }
  return Tag(code, w.str(), true);
}

std::string DefineFontInfoTag(int id, const std::string& name, const std::vector<uint16_t>& codes,
                              bool wideCodes, bool info2) {
  BitWriter w;
  w.u16(id);
  w.u8(name.size());
  w.bytes(name);
  w.u8(0x08 | 0x02 | (wideCodes ? 0x01 : 0));
  if (info2) w.u8(2);
  for (uint16_t c : codes) wideCodes ? w.u16(c) : w.u8(c);
  return Tag(info2 ? 62 : 13, w.str());
}

std::string AlignZonesTag(int fontId, int glyphs) {
  BitWriter w;
  w.u16(fontId);
  w.u8(0x40);
  for (int g = 0; g < glyphs; ++g) {
    w.u8(2);
    for (int i = 0; i < 4; ++i) w.u16(0x3C00 + i);
    w.u8(0x03);
  }
  return Tag(73, w.str());
}

std::string GlyphNamesTag(int fontId, const std::vector<std::string>& names) {
  BitWriter w;
  w.u16(fontId);
  for (const std::string& n : names) w.bytes(n + std::string(1, '\0'));
  return Tag(778, w.str());
}

std::string DefineTextTag(int id, const std::vector<GlyphRun>& runs, int glyphBits, int advanceBits,
                          bool text2) {
  BitWriter w;
  w.u16(id);
  w.rect(0, 1000, 0, 1000);
  w.identity();
  w.u8(glyphBits);
  w.u8(advanceBits);
  int y = 100;
  for (const GlyphRun& run : runs) {
    w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
    w.u16(run.fontId);
    w.u8(0x11);
    w.u8(0x22);
    w.u8(0x33);
    if (text2) w.u8(0x44);
    w.u16(20);
    w.u16(y += 240);
    w.u16(240);
    w.u8(run.glyphs.size());
    for (uint32_t g : run.glyphs) {
      w.bits(g, glyphBits);
      w.sbits(100, advanceBits);
    }
    w.align();
  }
  w.u8(0);
  return Tag(text2 ? 33 : 11, w.str());
}

std::string PlaceObjectTag(int charId, int depth) {
  BitWriter w;
  w.u16(charId);
  w.u16(depth);
  w.matrix(0x20000, 0x20000, 0, 0, 40, 60);
  return Tag(4, w.str());
}

std::string PlaceObject2Tag(int charId, int depth, bool move) {
  BitWriter w;
  w.u8(0x02 | 0x04 | (move ? 0x01 : 0));
  w.u16(depth);
  w.u16(charId);
  w.matrix(0x10000, 0x10000, 0, 0, 100, 200);
  return Tag(26, w.str());
}

std::string PlaceObject3Tag(int charId, int depth, const std::string& className) {
  BitWriter w;
  w.u8(0x02 | 0x04);
  w.u8(0x08);
  w.u16(depth);
  w.bytes(className);
  w.u8(0);
  w.u16(charId);
  w.matrix(0x10000, 0x10000, 0, 0, -5, -7);
  return Tag(70, w.str());
}

std::string SpriteTag(int id, const std::string& innerTags) {
  BitWriter w;
  w.u16(id);
  w.u16(1);
  w.bytes(innerTags + Tag(0, ""));
  return Tag(39, w.str());
}

std::vector<uint16_t> Codes(const std::string& utf8) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
    uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : (c & 0x0F);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

std::vector<uint32_t> GlyphsUpTo(size_t count) {
  std::vector<uint32_t> g;
  for (size_t i = 0; i < count; ++i) g.push_back(i);
  return g;
}

std::string TextDocumentTags(const std::string& utf8, int fontId, int textId) {
  std::vector<uint16_t> codes = Codes(utf8);
  return DefineFont2Tag(fontId, "Song", codes, true, true) +
         DefineTextTag(textId, {{fontId, GlyphsUpTo(codes.size())}}) +
         PlaceObject2Tag(textId, textId);
}
