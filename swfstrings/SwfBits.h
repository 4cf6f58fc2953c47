// Bounds-checked reader of SWF bit fields and little-endian values over one
// untrusted memory block, plus the RECT and MATRIX records and matrix maths.
// A read past the end returns 0 and leaves the reader failed for good; one
// reader belongs to one thread at a time.
#ifndef SWFSTRINGS_SWFBITS_H
#define SWFSTRINGS_SWFBITS_H

#include <cstddef>
#include <cstdint>
#include <string>

struct SwfRect {
  int32_t m_iXMin = 0;
  int32_t m_iXMax = 0;
  int32_t m_iYMin = 0;
  int32_t m_iYMax = 0;
};

// Scale and rotate/skew parts are 16.16 fixed point, translation in twips.
struct SwfMatrix {
  int32_t m_iScaleX = 0x10000;
  int32_t m_iRotate1 = 0;
  int32_t m_iRotate0 = 0;
  int32_t m_iScaleY = 0x10000;
  int32_t m_iTranslateX = 0;
  int32_t m_iTranslateY = 0;
};

struct SwfPoint {
  int64_t m_lX = 0;
  int64_t m_lY = 0;
};

// The widest bit field the format can carry in one value.
constexpr int kSwfMaxBitField = 32;

class SwfBitReader {
 public:
  SwfBitReader(const unsigned char* data, size_t length) : m_pData(data), m_lLength(length) {}

  uint32_t getBits(int count);  // unsigned, most significant bit first; count 0 to 32
  int32_t getSBits(int count);  // sign-extended
  void align();                 // the rest of a partly read byte is padding

  uint8_t getU8();
  uint16_t getU16();
  int16_t getS16() { return static_cast<int16_t>(getU16()); }
  uint32_t getU32();
  std::string getBytes(size_t count);
  std::string getString();  // zero-terminated; an unterminated tail fails the reader
  bool skip(size_t count);
  bool seek(size_t pos);

  SwfRect getRect();
  SwfMatrix getMatrix();

  bool ok() const { return !m_bFailed; }
  size_t pos() const { return m_lPos; }
  size_t left() const { return m_lLength - m_lPos; }

 private:
  bool takeBytes(size_t count);
  void fail();

  const unsigned char* m_pData;
  size_t m_lLength;
  size_t m_lPos = 0;
  int m_iBit = 0;  // bits of m_pData[m_lPos] already used
  bool m_bFailed = false;
};

// outer * inner: the matrix applying inner first, then outer.
SwfMatrix SwfMatrixMultiply(const SwfMatrix& outer, const SwfMatrix& inner);
SwfPoint SwfTransformPoint(const SwfMatrix& m, int32_t x, int32_t y);

#endif
