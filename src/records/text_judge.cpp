#include "text_judge.h"

bool JudgeAscii(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p & 0x80) return false;
  }
  return true;
}

bool JudgeUnicode(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  return p[0] == 0xFF && p[1] == 0xFE;
}
