#include "swfstrings/CommonCharacterDetector.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// Blanks of every kind, and the full-width blank as a GBK byte pair.
const uint32_t kInvisible[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0xA0,   0x1680,
                               0x180E, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006,
                               0x2007, 0x2008, 0x2009, 0x200A, 0x2028, 0x205F, 0x3000, 0xA1A1};

const char16_t kCommonChinese[] =
    u"一七三上下不与专个中为买了二人他件会你個元先內全六内几分別别到前加化区區单即及可台号各名后和"
    u"單四回图圖在多大太将將專小岁帖带帶年幾後性您愛成我所数數新方日时是時更最會月有服本次歲比水沒"
    u"没点為爱版用由男的社第等網网者自臺與號行表請请買走过過部都間间集零高點";

// Sorted once, on first use; read-only afterwards.
const std::vector<uint32_t>& CommonSet() {
  static const std::vector<uint32_t> set = [] {
    std::vector<uint32_t> s;
    for (char c = '0'; c <= '9'; ++c) s.push_back(c);
    for (char c = 'a'; c <= 'z'; ++c) {
      s.push_back(c);
      s.push_back(c - 'a' + 'A');
    }
    for (const char16_t* p = kCommonChinese; *p != 0; ++p) s.push_back(*p);
    std::sort(s.begin(), s.end());
    return s;
  }();
  return set;
}

}  // namespace

void CommonCharacterDetector::ReadIn(uint32_t c) {
  if (std::find(std::begin(kInvisible), std::end(kInvisible), c) != std::end(kInvisible)) return;
  ++m_total_read;
  const std::vector<uint32_t>& common = CommonSet();
  if (std::binary_search(common.begin(), common.end(), c)) ++m_common_character_read;
}

bool CommonCharacterDetector::IsValidStream() const {
  return m_common_character_read > m_threshold * m_total_read;
}

void CommonCharacterDetector::Reset() {
  m_total_read = 0;
  m_common_character_read = 0;
}
