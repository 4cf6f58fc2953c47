#include "swfstrings/SwfPlace.h"

namespace {

constexpr uint8_t kPlaceMove = 0x01;
constexpr uint8_t kPlaceHasCharacter = 0x02;
constexpr uint8_t kPlaceHasMatrix = 0x04;
constexpr uint8_t kPlace3HasClassName = 0x08;
constexpr uint8_t kPlace3HasImage = 0x10;

void ReadFlagged(SwfBitReader& r, uint8_t flags, SwfPlacement& place) {
  place.m_bMove = (flags & kPlaceMove) != 0;
  if (flags & kPlaceHasCharacter) place.m_iCharId = r.getU16();
  if (flags & kPlaceHasMatrix) place.m_matrix = r.getMatrix();
}

}  // namespace

bool ReadSwfPlacement(const SwfTag& tag, SwfPlacement& place) {
  place = SwfPlacement();
  SwfBitReader r = tag.reader();
  if (tag.m_iCode == kSwfTagPlaceObject) {
    place.m_iCharId = r.getU16();
    place.m_iDepth = r.getU16();
    place.m_matrix = r.getMatrix();
  } else if (tag.m_iCode == kSwfTagPlaceObject2) {
    uint8_t flags = r.getU8();
    place.m_iDepth = r.getU16();
    ReadFlagged(r, flags, place);
  } else if (tag.m_iCode == kSwfTagPlaceObject3) {
    uint8_t flags = r.getU8();
    uint8_t flags2 = r.getU8();
    place.m_iDepth = r.getU16();
    if ((flags2 & kPlace3HasClassName) ||
        ((flags2 & kPlace3HasImage) && (flags & kPlaceHasCharacter))) {
      r.getString();
    }
    ReadFlagged(r, flags, place);
  } else {
    return false;
  }
  return r.ok();
}
