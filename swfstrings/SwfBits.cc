#include "swfstrings/SwfBits.h"

#include <cstring>

void SwfBitReader::fail() {
  m_bFailed = true;
  m_lPos = m_lLength;
  m_iBit = 0;
}

void SwfBitReader::align() {
  if (m_iBit != 0) {
    m_iBit = 0;
    ++m_lPos;
  }
}

uint32_t SwfBitReader::getBits(int count) {
  if (m_bFailed || count < 0 || count > kSwfMaxBitField) {
    fail();
    return 0;
  }
  size_t available = (m_lLength - m_lPos) * 8 - static_cast<size_t>(m_iBit);
  if (static_cast<size_t>(count) > available) {
    fail();
    return 0;
  }
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    uint32_t bit = (m_pData[m_lPos] >> (7 - m_iBit)) & 1u;
    value = (value << 1) | bit;
    if (++m_iBit == 8) {
      m_iBit = 0;
      ++m_lPos;
    }
  }
  return value;
}

int32_t SwfBitReader::getSBits(int count) {
  uint32_t value = getBits(count);
  if (count > 0 && count < 32 && (value & (1u << (count - 1)))) {
    value |= ~0u << count;
  }
  return static_cast<int32_t>(value);
}

bool SwfBitReader::takeBytes(size_t count) {
  align();
  if (m_bFailed || count > m_lLength - m_lPos) {
    fail();
    return false;
  }
  return true;
}

uint8_t SwfBitReader::getU8() {
  if (!takeBytes(1)) return 0;
  return m_pData[m_lPos++];
}

uint16_t SwfBitReader::getU16() {
  if (!takeBytes(2)) return 0;
  uint16_t v = static_cast<uint16_t>(m_pData[m_lPos] | (m_pData[m_lPos + 1] << 8));
  m_lPos += 2;
  return v;
}

uint32_t SwfBitReader::getU32() {
  if (!takeBytes(4)) return 0;
  const unsigned char* p = m_pData + m_lPos;
  m_lPos += 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string SwfBitReader::getBytes(size_t count) {
  if (!takeBytes(count)) return std::string();
  std::string s(reinterpret_cast<const char*>(m_pData + m_lPos), count);
  m_lPos += count;
  return s;
}

std::string SwfBitReader::getString() {
  if (!takeBytes(0)) return std::string();
  const void* end = memchr(m_pData + m_lPos, 0, m_lLength - m_lPos);
  if (end == nullptr) {
    fail();
    return std::string();
  }
  size_t count = static_cast<const unsigned char*>(end) - (m_pData + m_lPos);
  std::string s = getBytes(count);
  ++m_lPos;
  return s;
}

bool SwfBitReader::skip(size_t count) {
  if (!takeBytes(count)) return false;
  m_lPos += count;
  return true;
}

bool SwfBitReader::seek(size_t pos) {
  align();
  if (m_bFailed || pos > m_lLength) {
    fail();
    return false;
  }
  m_lPos = pos;
  return true;
}

SwfRect SwfBitReader::getRect() {
  align();
  SwfRect r;
  int bits = static_cast<int>(getBits(5));
  r.m_iXMin = getSBits(bits);
  r.m_iXMax = getSBits(bits);
  r.m_iYMin = getSBits(bits);
  r.m_iYMax = getSBits(bits);
  align();
  return r;
}

SwfMatrix SwfBitReader::getMatrix() {
  align();
  SwfMatrix m;
  if (getBits(1)) {
    int bits = static_cast<int>(getBits(5));
    m.m_iScaleX = getSBits(bits);
    m.m_iScaleY = getSBits(bits);
  }
  if (getBits(1)) {
    int bits = static_cast<int>(getBits(5));
    m.m_iRotate0 = getSBits(bits);
    m.m_iRotate1 = getSBits(bits);
  }
  int bits = static_cast<int>(getBits(5));
  m.m_iTranslateX = getSBits(bits);
  m.m_iTranslateY = getSBits(bits);
  align();
  return m;
}

namespace {

// Each product is scaled back before summing so that hostile extremes cannot
// overflow the 64-bit intermediate.
int64_t FixedMul(int64_t a, int64_t b) { return (a * b) / 0x10000; }

}  // namespace

SwfMatrix SwfMatrixMultiply(const SwfMatrix& a, const SwfMatrix& b) {
  SwfMatrix d;
  d.m_iScaleX = static_cast<int32_t>(FixedMul(a.m_iScaleX, b.m_iScaleX) +
                                     FixedMul(a.m_iRotate1, b.m_iRotate0));
  d.m_iRotate1 = static_cast<int32_t>(FixedMul(a.m_iScaleX, b.m_iRotate1) +
                                      FixedMul(a.m_iRotate1, b.m_iScaleY));
  d.m_iRotate0 = static_cast<int32_t>(FixedMul(a.m_iRotate0, b.m_iScaleX) +
                                      FixedMul(a.m_iScaleY, b.m_iRotate0));
  d.m_iScaleY = static_cast<int32_t>(FixedMul(a.m_iRotate0, b.m_iRotate1) +
                                     FixedMul(a.m_iScaleY, b.m_iScaleY));
  SwfPoint t = SwfTransformPoint(a, b.m_iTranslateX, b.m_iTranslateY);
  d.m_iTranslateX = static_cast<int32_t>(t.m_lX);
  d.m_iTranslateY = static_cast<int32_t>(t.m_lY);
  return d;
}

SwfPoint SwfTransformPoint(const SwfMatrix& m, int32_t x, int32_t y) {
  SwfPoint p;
  p.m_lX = FixedMul(m.m_iScaleX, x) + FixedMul(m.m_iRotate1, y) + m.m_iTranslateX;
  p.m_lY = FixedMul(m.m_iRotate0, x) + FixedMul(m.m_iScaleY, y) + m.m_iTranslateY;
  return p;
}
