#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "SwfWriter.h"
#include "swfstrings/SimpleException.h"
#include "swfstrings/SwfCompose.h"
#include "swfstrings/SwfExtract.h"
#include "swfstrings/SwfFile.h"
#include "swfstrings/SwfFont.h"
#include "swfstrings/SwfPlace.h"
#include "swfstrings/SwfText.h"

namespace {

constexpr int kRoundsPerFixture = 1500;
constexpr unsigned kSeed = 20240611;

const char kPage[] =
    "<html><head><meta charset=\"utf-8\"></head><body>\xE6\x96\x87\xE6\xA1\xA3"
    "<div id=\"doc_reader\"></div></body></html>";

// A file using every tag the reader interprets.
std::string AllTagsFile() {
  BitWriter attributes;
  attributes.u32(0x08);
  std::string tags =
      Tag(69, attributes.str()) + TextDocumentTags("Hello \xE4\xB8\xAD\xE6\x96\x87") +
      AlignZonesTag(1, 3) + GlyphNamesTag(1, {"a", "b", "c"}) + DefineFontTag(5, 3) +
      DefineFontInfoTag(5, "Arial", {65, 66, 67}, false, false) + DefineFontTag(6, 2) +
      DefineFontInfoTag(6, "Wide", {0x4E00, 0x4E8C}, true, true) +
      DefineFont2Tag(7, "Hei", Codes("xyz"), true, true, 75) +
      DefineFont2Tag(8, "Narrow", {70, 71}, false, true) +
      DefineTextTag(10, {{5, {0, 1, 2}}, {6, {0, 1}}, {7, {2, 1}}}, 7, 11, true) +
      DefineTextTag(11, {{8, {0, 1, 0}}}, 3, 5) + PlaceObjectTag(10, 3) +
      PlaceObject3Tag(11, 4, "doc.Page") + SpriteTag(12, PlaceObject2Tag(10, 1) + Tag(1, "")) +
      PlaceObject2Tag(12, 5) + Tag(1, "");
  return SwfFileBytes(tags, false);
}

void Mutate(std::string& s, std::mt19937& rng) {
  std::uniform_int_distribution<int> ops(1, 4);
  int count = ops(rng);
  for (int i = 0; i < count && !s.empty(); ++i) {
    size_t at = std::uniform_int_distribution<size_t>(0, s.size() - 1)(rng);
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
      case 0:
        s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8)));
        break;
      case 1: {
        const char extremes[] = {0, '\x3F', '\x7F', '\x80', '\xFF'};
        s[at] = extremes[rng() % sizeof(extremes)];
        break;
      }
      case 2:
        s[at] = static_cast<char>(rng());
        break;
      case 3:
        s.resize(at);
        break;
      case 4:
        s.insert(at, s.substr(at, rng() % 40));
        break;
      default:
        s.erase(at, rng() % 8);
        break;
    }
  }
}

// Drives every reader entry point over one (possibly hostile) file.
void ReadEverything(const std::string& file) {
  SwfFile swf;
  std::string warnings;
  try {
    if (ReadSwfFromMemory(reinterpret_cast<const unsigned char*>(file.data()), file.size(), swf,
                          &warnings) < 0) {
      return;
    }
  } catch (const SimpleException&) {
    return;
  }
  std::vector<SwfFont> fonts;
  ExtractSwfFonts(swf, fonts);
  EnumerateSwfFonts(swf, [&](int id, const std::string&) {
    SwfFont f;
    ExtractSwfFont(swf, id, f);
  });
  SwfTextBudget budget(kSwfMaxTextWork);
  for (const SwfTag& tag : swf.m_tags) {
    SwfPlacement place;
    ReadSwfPlacement(tag, place);
    ParseSwfText(
        tag, nullptr, [](const SwfTextRun&) {}, budget);
  }
}

// True when text came out, so that the rounds are seen to reach the text
// records rather than all stopping at the header.
bool Survive(const std::string& content) {
  ReadEverything(content);
  std::string text;
  int rc = ExtractStringsFromSwfStream(content, text, true);
  EXPECT_TRUE(rc == 0 || rc == 5 || rc == 9) << rc;
  std::string page = kPage;
  int composed = ComposePageWithSwfFromBaidu("{} " + content, page);
  EXPECT_TRUE(composed == 0 || composed == 5 || composed == 8 || composed == 9) << composed;
  return rc == 0 && !text.empty();
}

TEST(SwfMutation, RandomDamageStaysInsideTheBuffer) {
  const std::string plain = AllTagsFile();
  std::mt19937 rng(kSeed);
  int withText = 0;
  for (int round = 0; round < kRoundsPerFixture; ++round) {
    std::string s = plain;
    Mutate(s, rng);
    withText += Survive(s);
    // The same damage behind the zlib layer, and damage to the zlib layer.
    withText += Survive(CompressSwf(s));
    std::string z = CompressSwf(plain);
    Mutate(z, rng);
    Survive(z);
    std::string two = plain + CompressSwf(plain);
    Mutate(two, rng);
    Survive(two);
  }
  EXPECT_GT(withText, kRoundsPerFixture / 2);
}

// Targeted lies the random rounds may not hit.
TEST(SwfMutation, LyingFieldsTable) {
  BitWriter bigFont;
  bigFont.u16(1);
  bigFont.u8(0x88);  // wide offsets and layout
  bigFont.u8(0);
  bigFont.u8(200);  // name longer than the tag
  BitWriter text;
  text.u16(2);
  text.rect(0, 1, 0, 1, 31);
  text.identity();
  text.u8(32);
  text.u8(32);
  for (int i = 0; i < 40; ++i) {
    text.u8(0x8F);
    text.u16(1);
    text.u8(255);  // 255 glyphs claimed, none present
  }
  std::string manyPlacements = TextDocumentTags("ab");
  for (int i = 0; i < 20000; ++i) manyPlacements += PlaceObject2Tag(2, 3);
  const std::vector<std::string> files = {
      SwfFileBytes(Tag(48, bigFont.str()) + Tag(11, text.str()) + PlaceObject2Tag(2, 1), false),
      SwfFileBytes(Tag(39, "\x01"), false),
      SwfFileBytes(std::string(500, '\0'), true),
      SwfFileBytes(manyPlacements, true),
  };
  for (const std::string& f : files) Survive(f);
  std::string out;
  EXPECT_EQ(ExtractStringsFromSwfStream(files.back(), out, false), 0);
  EXPECT_LE(out.size(), static_cast<size_t>(kSwfMaxTextWork));
}

}  // namespace
