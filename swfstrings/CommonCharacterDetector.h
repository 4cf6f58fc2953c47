// Tells readable text from garbage by the share of very common characters
// (digits, ASCII letters and frequent Chinese characters) among the visible
// ones. An instance is owned by one thread; the character set is built once.
#ifndef SWFSTRINGS_COMMONCHARACTERDETECTOR_H
#define SWFSTRINGS_COMMONCHARACTERDETECTOR_H

#include <cstdint>

class CommonCharacterDetector {
 public:
  void ReadIn(uint32_t c);
  bool IsValidStream() const;
  void Reset();

  long total_read() const { return m_total_read; }
  long common_character_read() const { return m_common_character_read; }

 private:
  long m_total_read = 0;
  long m_common_character_read = 0;
  double m_threshold = 0.1;
};

#endif
