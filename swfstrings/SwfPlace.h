// Reads the placement of a PlaceObject, PlaceObject2 or PlaceObject3 tag
// (untrusted bytes, bounds-checked). No shared state; safe per thread.
#ifndef SWFSTRINGS_SWFPLACE_H
#define SWFSTRINGS_SWFPLACE_H

#include "swfstrings/SwfBits.h"
#include "swfstrings/SwfFile.h"

struct SwfPlacement {
  int m_iCharId = -1;  // -1 when the tag names no character
  int m_iDepth = 0;
  SwfMatrix m_matrix;
  bool m_bMove = false;  // modifies the character already at the depth
};

// False when the tag is no placement tag or ends before its fields.
bool ReadSwfPlacement(const SwfTag& tag, SwfPlacement& place);

#endif
