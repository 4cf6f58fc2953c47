#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SwfWriter.h"
#include "swfstrings/SimpleException.h"
#include "swfstrings/SwfBits.h"
#include "swfstrings/SwfFile.h"
#include "swfstrings/SwfFont.h"
#include "swfstrings/SwfPlace.h"
#include "swfstrings/SwfText.h"
#include "swfstrings/SwfUtf8.h"

namespace {

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

long Read(const std::string& file, SwfFile& swf, std::string& warnings) {
  return ReadSwfFromMemory(Bytes(file), file.size(), swf, &warnings);
}

std::vector<int> Codes(const SwfFile& swf) {
  std::vector<int> codes;
  for (const SwfTag& t : swf.m_tags) codes.push_back(t.m_iCode);
  return codes;
}

std::string DocumentTags() {
  return DefineFont2Tag(1, "Song", ::Codes("Hi中"), true, true) +
         DefineTextTag(2, {{1, {0, 1, 2}}}) + PlaceObject2Tag(2, 1) + Tag(1, "");
}

TEST(SwfBits, FieldsTable) {
  struct Case {
    std::string bytes;
    int count;
    bool isSigned;
    int64_t want;
  } cases[] = {
      {"\xA0", 3, false, 5},
      {"\xA0", 3, true, -3},
      {"\xFF\xFF\xFF\xFF", 32, false, 0xFFFFFFFFll},
      {"\xFF\xFF\xFF\xFF", 32, true, -1},
      {"\x80", 1, true, -1},
      {"\x12", 0, false, 0},
  };
  for (const Case& c : cases) {
    SwfBitReader r(Bytes(c.bytes), c.bytes.size());
    int64_t got = c.isSigned ? static_cast<int64_t>(r.getSBits(c.count))
                             : static_cast<int64_t>(r.getBits(c.count));
    EXPECT_TRUE(r.ok()) << c.count;
    EXPECT_EQ(got, c.want) << c.count << " signed=" << c.isSigned;
  }
}

TEST(SwfBits, ReadsPastEndOrWiderThan32BitsFailForGood) {
  std::string data("\x01\x02\x03", 3);
  SwfBitReader a(Bytes(data), data.size());
  EXPECT_EQ(a.getU32(), 0u);
  EXPECT_FALSE(a.ok());
  EXPECT_EQ(a.getU8(), 0u);  // sticky
  SwfBitReader b(Bytes(data), data.size());
  EXPECT_EQ(b.getBits(33), 0u);
  EXPECT_FALSE(b.ok());
  SwfBitReader c(Bytes(data), data.size());
  c.getBits(20);
  EXPECT_EQ(c.getBits(5), 0u);  // only 4 bits left
  EXPECT_FALSE(c.ok());
  SwfBitReader d(Bytes(data), data.size());
  d.getString();  // no terminator inside the block
  EXPECT_FALSE(d.ok());
  SwfBitReader e(Bytes(data), data.size());
  EXPECT_FALSE(e.seek(4));
  EXPECT_EQ(e.left(), 0u);
}

TEST(SwfBits, RectMatrixAndMaths) {
  BitWriter w;
  w.rect(-20, 11000, 5, 8000, 15);
  w.matrix(0x20000, 0x8000, 0x1000, -0x1000, -300, 700);
  w.u8(0x5A);
  SwfBitReader r(Bytes(w.str()), w.str().size());
  SwfRect rect = r.getRect();
  SwfMatrix m = r.getMatrix();
  EXPECT_EQ(r.getU8(), 0x5A);  // byte fields start on a byte boundary after bit fields
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(rect.m_iXMin, -20);
  EXPECT_EQ(rect.m_iXMax, 11000);
  EXPECT_EQ(rect.m_iYMin, 5);
  EXPECT_EQ(rect.m_iYMax, 8000);
  EXPECT_EQ(m.m_iScaleX, 0x20000);
  EXPECT_EQ(m.m_iScaleY, 0x8000);
  EXPECT_EQ(m.m_iRotate0, 0x1000);
  EXPECT_EQ(m.m_iRotate1, -0x1000);
  EXPECT_EQ(m.m_iTranslateX, -300);
  EXPECT_EQ(m.m_iTranslateY, 700);

  SwfMatrix scale2;
  scale2.m_iScaleX = scale2.m_iScaleY = 0x20000;
  scale2.m_iTranslateX = 10;
  SwfMatrix shift;
  shift.m_iTranslateX = 100;
  shift.m_iTranslateY = -50;
  // shift first, then scale: (x + 100) * 2 + 10
  SwfPoint p = SwfTransformPoint(SwfMatrixMultiply(scale2, shift), 1, 1);
  EXPECT_EQ(p.m_lX, 212);
  EXPECT_EQ(p.m_lY, -98);
  SwfMatrix extreme;
  extreme.m_iScaleX = extreme.m_iRotate1 = INT32_MIN;
  SwfMatrixMultiply(extreme, extreme);  // no signed overflow under the sanitizer
  SwfTransformPoint(extreme, INT32_MIN, INT32_MIN);
}

TEST(SwfUtf8, EncodesTable) {
  struct Case {
    uint32_t code;
    std::string want;
  } cases[] = {
      {0x41, "A"},
      {0xE9, "\xC3\xA9"},
      {0x4E2D, "\xE4\xB8\xAD"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0xD800, "\xEF\xBF\xBD"},
      {0x110000, "\xEF\xBF\xBD"},
      {0xFFFFFFFF, "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    std::string out;
    SwfAppendUtf8(out, c.code);
    EXPECT_EQ(out, c.want) << std::hex << c.code;
  }
}

TEST(SwfFileRead, PlainAndCompressedGiveTheSameTags) {
  for (bool compressed : {false, true}) {
    std::string file = SwfFileBytes(DocumentTags(), compressed, 9);
    SwfFile swf;
    std::string warnings;
    EXPECT_EQ(Read(file + "trailing", swf, warnings), static_cast<long>(file.size()));
    EXPECT_EQ(swf.m_iVersion, 9);
    EXPECT_EQ(swf.m_frame.m_iXMax, 11000);
    EXPECT_EQ(swf.m_iFrameRate, 0x1800);
    EXPECT_EQ(swf.m_iFrameCount, 1);
    EXPECT_EQ(Codes(swf), (std::vector<int>{48, 11, 26, 1, 0})) << compressed;
    EXPECT_EQ(warnings, "");
    FreeSwf(swf);
    EXPECT_TRUE(swf.m_tags.empty());
  }
}

TEST(SwfFileRead, RejectsOtherSignaturesAndShortBlocks) {
  std::string good = SwfFileBytes(DocumentTags(), false);
  std::string zws = good;
  zws[0] = 'Z';
  for (const std::string& bad :
       {zws, good.substr(0, 7), std::string("GWS\x08\x20\0\0\0", 8), good.substr(0, 10)}) {
    SwfFile swf;
    std::string warnings;
    EXPECT_LT(Read(bad, swf, warnings), 0);
    EXPECT_TRUE(swf.m_tags.empty());
  }
}

TEST(SwfFileRead, ShortReadKeepsEarlierTagsAndWarnsOnce) {
  std::string file = SwfFileBytes(DocumentTags(), false);
  std::string cut = file.substr(0, file.size() - 8);  // inside the PlaceObject2 tag
  SwfFile swf;
  std::string warnings;
  EXPECT_GT(Read(cut, swf, warnings), 0);
  EXPECT_EQ(Codes(swf), (std::vector<int>{48, 11}));
  EXPECT_EQ(warnings, "swfread: Warning: Short read (tagid 26). File truncated?\n");

  testing::internal::CaptureStderr();
  ReadSwfFromMemory(Bytes(cut), cut.size(), swf, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "swfread: Warning: Short read (tagid 26). File truncated?\n");
}

TEST(SwfFileRead, DeclaredLengthBoundsAPlainFile) {
  std::string first = SwfFileBytes(DocumentTags(), false);
  // Without its End tag the first file would run into the second one.
  std::string noEnd = first.substr(0, first.size() - 2);
  noEnd[4] = static_cast<char>(noEnd.size());
  noEnd[5] = static_cast<char>(noEnd.size() >> 8);
  SwfFile swf;
  std::string warnings;
  Read(noEnd + first, swf, warnings);
  EXPECT_EQ(Codes(swf), (std::vector<int>{48, 11, 26, 1}));
  EXPECT_EQ(warnings, "");
}

TEST(SwfFileRead, DamagedZlibStreamThrows) {
  std::string file = SwfFileBytes(DocumentTags(), true);
  file[8] = 0x00;  // zlib header check fails
  SwfFile swf;
  std::string warnings;
  EXPECT_THROW(Read(file, swf, warnings), SimpleException);
  try {
    Read(file, swf, warnings);
  } catch (const SimpleException& e) {
    EXPECT_NE(std::string(e.what()).find(", retcode:-3"), std::string::npos) << e.what();
  }
}

TEST(SwfFileRead, TruncatedZlibStreamIsAShortRead) {
  std::string file = SwfFileBytes(DocumentTags() + DocumentTags(), true);
  SwfFile swf;
  std::string warnings;
  Read(file.substr(0, file.size() / 2), swf, warnings);
  EXPECT_NE(warnings.find("Short read"), std::string::npos);
}

TEST(SwfFileRead, SpriteTagsJoinTheMainList) {
  std::string tags = DefineFontTag(1, 1) + DefineTextTag(2, {{1, {65}}}) +
                     SpriteTag(3, PlaceObject2Tag(2, 1) + Tag(1, "")) + PlaceObjectTag(2, 2);
  SwfFile swf;
  std::string warnings;
  Read(SwfFileBytes(tags, false), swf, warnings);
  // The sprite's End closes the sprite only; the main list goes on.
  EXPECT_EQ(Codes(swf), (std::vector<int>{10, 11, 39, 26, 1, 0, 4, 0}));
  EXPECT_EQ(swf.m_tags[2].m_iLength, 4u);
}

TEST(SwfFileRead, HostileLengthsStayBounded) {
  BitWriter huge;
  huge.u16((11 << 6) | 63);
  huge.u32(0xFFFFFFFFu);
  SwfFile swf;
  std::string warnings;
  Read(SwfFileBytes(huge.str() + "abc", false), swf, warnings);
  EXPECT_TRUE(swf.m_tags.empty());
  EXPECT_EQ(warnings, "swfread: Warning: Short read (tagid 11). File truncated?\n");

  // A compressed flood of empty tags declaring a 4 GiB file.
  std::string flood;
  for (size_t i = 0; i < kSwfMaxTags + 10; ++i) flood += Tag(1, "");
  std::string bomb = SwfFileBytes(flood, true);
  bomb[4] = bomb[5] = bomb[6] = bomb[7] = '\xFF';
  Read(bomb, swf, warnings);
  EXPECT_EQ(swf.m_tags.size(), kSwfMaxTags);
}

TEST(SwfTags, PredicatesAndDefinitionId) {
  struct Case {
    int code;
    bool text;
    bool place;
  } cases[] = {{11, true, false}, {33, true, false},  {4, false, true},  {26, false, true},
               {70, false, true}, {10, false, false}, {39, false, false}};
  for (const Case& c : cases) {
    SwfTag t;
    t.m_iCode = c.code;
    EXPECT_EQ(IsSwfTextTag(t), c.text) << c.code;
    EXPECT_EQ(IsSwfPlaceTag(t), c.place) << c.code;
  }
  SwfTag t;
  t.m_data = {0x34, 0x12, 0xFF};
  EXPECT_EQ(SwfDefinitionId(t), 0x1234);
  t.m_data = {0x34};
  EXPECT_EQ(SwfDefinitionId(t), -1);
}

SwfTag OnlyTag(const std::string& tagBytes) {
  SwfFile swf;
  std::string warnings;
  ReadSwfFromMemory(Bytes(SwfFileBytes(tagBytes, false)), SwfFileBytes(tagBytes, false).size(), swf,
                    &warnings);
  return swf.m_tags.at(0);
}

TEST(SwfPlacements, ThreeFormsTable) {
  struct Case {
    std::string tag;
    int charId;
    int depth;
    int32_t tx;
    int32_t sx;
    bool move;
  } cases[] = {
      {PlaceObjectTag(7, 3), 7, 3, 40, 0x20000, false},
      {PlaceObject2Tag(8, 4), 8, 4, 100, 0x10000, false},
      {PlaceObject2Tag(8, 4, true), 8, 4, 100, 0x10000, true},
      {PlaceObject3Tag(9, 5, "my.Class"), 9, 5, -5, 0x10000, false},
  };
  for (const Case& c : cases) {
    SwfPlacement p;
    ASSERT_TRUE(ReadSwfPlacement(OnlyTag(c.tag), p));
    EXPECT_EQ(p.m_iCharId, c.charId);
    EXPECT_EQ(p.m_iDepth, c.depth);
    EXPECT_EQ(p.m_matrix.m_iTranslateX, c.tx);
    EXPECT_EQ(p.m_matrix.m_iScaleX, c.sx);
    EXPECT_EQ(p.m_bMove, c.move);
  }
  BitWriter moveOnly;
  moveOnly.u8(0x01);
  moveOnly.u16(6);
  SwfPlacement p;
  ASSERT_TRUE(ReadSwfPlacement(OnlyTag(Tag(26, moveOnly.str())), p));
  EXPECT_EQ(p.m_iCharId, -1);
  EXPECT_FALSE(ReadSwfPlacement(OnlyTag(Tag(26, "\x06")), p));
  EXPECT_FALSE(ReadSwfPlacement(OnlyTag(Tag(11, "\x06\x00\x01\x00")), p));
}

TEST(SwfTextRecords, RunsCarryStyleAndGlyphs) {
  for (bool text2 : {false, true}) {
    SwfTag tag = OnlyTag(DefineTextTag(2, {{1, {3, 4}}, {5, {70000}}}, 17, 9, text2));
    std::vector<SwfTextRun> runs;
    std::vector<std::vector<uint32_t>> glyphs;
    SwfTextHeader h;
    SwfTextBudget budget(kSwfMaxTextWork);
    ASSERT_TRUE(ParseSwfText(
        tag, &h,
        [&](const SwfTextRun& r) {
          runs.push_back(r);
          glyphs.emplace_back(r.m_pGlyphs, r.m_pGlyphs + r.m_iCount);
          EXPECT_EQ(r.m_pAdvances[0], 100);
        },
        budget));
    EXPECT_EQ(h.m_iId, 2);
    EXPECT_EQ(h.m_bounds.m_iXMax, 1000);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(glyphs[0], (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(glyphs[1], (std::vector<uint32_t>{70000}));
    EXPECT_EQ(runs[1].m_iFontId, 5);
    EXPECT_EQ(runs[1].m_iFontSize, 240);
    EXPECT_EQ(runs[1].m_lX, 20);
    EXPECT_EQ(runs[1].m_lY, 580);
    EXPECT_EQ(runs[0].m_iColour, text2 ? 0x11223344u : 0x112233FFu);
  }
}

TEST(SwfTextRecords, HostileWidthsAndBudget) {
  SwfTextBudget budget(kSwfMaxTextWork);
  int calls = 0;
  auto count = [&](const SwfTextRun&) { ++calls; };
  std::string wide = DefineTextTag(2, {{1, {1}}}, 16, 8);
  BitWriter prefix;  // tag header, id, RECT and MATRIX come before the glyph bit width
  prefix.u16(0);
  prefix.u16(2);
  prefix.rect(0, 1000, 0, 1000);
  prefix.identity();
  ASSERT_EQ(wide[prefix.str().size()], 16);
  wide[prefix.str().size()] = '\xC8';
  EXPECT_FALSE(ParseSwfText(OnlyTag(wide), nullptr, count, budget));
  // Zero-width glyphs: each record yields 255 glyphs from two bytes.
  std::vector<GlyphRun> runs(50, GlyphRun{1, std::vector<uint32_t>(255, 0)});
  SwfTag many = OnlyTag(DefineTextTag(2, runs, 0, 0));
  SwfTextBudget small(10 * 256);
  EXPECT_TRUE(ParseSwfText(many, nullptr, count, small));
  EXPECT_EQ(calls, 10);
  EXPECT_TRUE(ParseSwfText(many, nullptr, count, small));
  EXPECT_EQ(calls, 10);  // spent
}

TEST(SwfFonts, EnumerateReportsEachFontTag) {
  std::string tags = DefineFontTag(1, 2) + DefineFontInfoTag(1, "Arial", {65, 66}, false, false) +
                     DefineFont2Tag(2, "Song", ::Codes("ab"), true, false) +
                     DefineFont2Tag(3, "Hei", ::Codes("c"), true, false, 75) +
                     DefineFontInfoTag(1, "Info2", {65, 66}, true, true);
  SwfFile swf;
  std::string warnings;
  Read(SwfFileBytes(tags, false), swf, warnings);
  std::vector<std::pair<int, std::string>> seen;
  EnumerateSwfFonts(swf, [&](int id, const std::string& name) { seen.emplace_back(id, name); });
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{
                      {1, ""}, {1, "Arial"}, {2, "Song"}, {3, ""}}));
}

TEST(SwfFonts, ExtractTable) {
  struct Case {
    std::string tags;
    int id;
    std::vector<uint16_t> codes;
    std::string name;
    int version;
  } cases[] = {
      {DefineFontTag(1, 3), 1, {}, "", 1},
      {DefineFontTag(1, 2) + DefineFontInfoTag(1, "Arial", {65, 200}, false, false),
       1,
       {65, 200},
       "Arial",
       1},
      {DefineFontTag(1, 2) + DefineFontInfoTag(1, "Wide", {0x4E2D, 66}, true, false),
       1,
       {0x4E2D, 66},
       "Wide",
       1},
      {DefineFontTag(1, 2) + DefineFontInfoTag(1, "V2", {0x6587, 67}, true, true),
       1,
       {0x6587, 67},
       "V2",
       1},
      {DefineFont2Tag(4, "Song", ::Codes("中文"), true, true), 4, ::Codes("中文"), "Song", 2},
      {DefineFont2Tag(4, "Narrow", {65, 66}, false, false), 4, {65, 66}, "Narrow", 2},
      {DefineFont2Tag(5, "Hei", ::Codes("x"), true, false, 75), 5, ::Codes("x"), "Hei", 3},
      // Info before its font's definition has no glyph count to go by.
      {DefineFontInfoTag(1, "Early", {65}, false, false) + DefineFontTag(1, 1), 1, {}, "", 1},
  };
  for (const Case& c : cases) {
    SwfFile swf;
    std::string warnings;
    Read(SwfFileBytes(c.tags, false), swf, warnings);
    SwfFont f;
    ASSERT_TRUE(ExtractSwfFont(swf, c.id, f)) << c.name;
    EXPECT_EQ(f.m_glyph2code, c.codes) << c.name;
    EXPECT_EQ(f.m_strName, c.name);
    EXPECT_EQ(f.m_iVersion, c.version);
    if (!c.codes.empty()) {
      EXPECT_EQ(f.glyphOf(c.codes.back()), static_cast<int>(c.codes.size()) - 1) << c.name;
    }
    EXPECT_FALSE(ExtractSwfFont(swf, 99, f));
  }

  std::string tags = DefineFont2Tag(1, "Song", ::Codes("AB"), true, true) + AlignZonesTag(1, 2) +
                     GlyphNamesTag(1, {"alpha", "beta"}) + DefineTextTag(2, {{1, {1, 7}}});
  SwfFile swf;
  std::string warnings;
  Read(SwfFileBytes(tags, false), swf, warnings);
  std::vector<SwfFont> fonts;
  ExtractSwfFonts(swf, fonts);
  ASSERT_EQ(fonts.size(), 1u);
  const SwfFont& f = fonts[0];
  EXPECT_EQ(f.m_iStyle, kSwfFontBold);
  EXPECT_TRUE(f.m_bHasLayout);
  EXPECT_EQ(f.m_iAscent, 900);
  EXPECT_EQ(f.m_advances, (std::vector<int16_t>{500, 501}));
  ASSERT_EQ(f.m_bounds.size(), 2u);
  EXPECT_EQ(f.m_bounds[1].m_iYMin, -900);
  ASSERT_EQ(f.m_kerning.size(), 1u);
  EXPECT_EQ(f.m_kerning[0].m_iAdjustment, -30);
  EXPECT_EQ(f.m_iCsmHint, 1);
  ASSERT_EQ(f.m_alignZones.size(), 2u);
  EXPECT_EQ(f.m_alignZones[1].m_data.size(), 4u);
  EXPECT_EQ(f.m_glyphNames, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(f.m_glyphUsed, (std::vector<uint8_t>{0, 1}));  // glyph 7 is outside the font
}

TEST(SwfFonts, LyingGlyphCountsAndOffsetsAreCut) {
  BitWriter w;
  w.u16(1);
  w.u8(0x04);
  w.u8(0);
  w.u8(0);
  w.u16(65535);  // glyphs claimed
  w.u16(8);
  w.u16(4000);  // code table far outside the tag
  std::string lying = Tag(48, w.str());
  BitWriter font1;
  font1.u16(1);
  font1.u16(60000);  // first offset claims 30000 glyphs
  SwfFile swf;
  std::string warnings;
  for (const std::string& tags : {lying, Tag(10, font1.str())}) {
    Read(SwfFileBytes(tags + DefineFontInfoTag(1, "x", {65}, false, false), false), swf, warnings);
    SwfFont f;
    ASSERT_TRUE(ExtractSwfFont(swf, 1, f));
    EXPECT_LE(f.m_iGlyphCount, 1);
  }
}

}  // namespace
