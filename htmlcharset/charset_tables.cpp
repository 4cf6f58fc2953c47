#include "htmlcharset/charset_tables.h"

#include "htmlcharset/gbk_data.h"
#include "htmlcharset/text_scan.h"
#include "htmlcharset/tradmap_data.h"
#include "kpub/encfreq_data.h"

namespace htmlcharset {

namespace {

constexpr uint16_t kEuro = 0x20AC;
constexpr uint16_t kEuroByte = 0x80;
// GBK output of characters that cannot be encoded.
constexpr uint16_t kReplacementByte = 0x1A;
constexpr uint16_t kBlank = 0x20;
// The Big5 set leaves out the least frequent of the ranked characters.
constexpr int kBig5CommonCount = 399;

struct U16Table {
  uint16_t v[kTableSize];
};

struct FlagTable {
  bool v[kTableSize];
};

constexpr int PairIndex(int lead, int trail) {
  return (lead + kGbkLeadFirst) + 256 * (trail + kGbkTrailFirst);
}

constexpr U16Table BuildGbk2Ucs() {
  U16Table t{};
  for (int b = 0; b < 0x80; ++b) t.v[b] = static_cast<uint16_t>(b);
  t.v[kEuroByte] = kEuro;
  for (int lead = 0; lead < kGbkLeadCount; ++lead) {
    for (int trail = 0; trail < kGbkTrailCount; ++trail) {
      t.v[PairIndex(lead, trail)] = kGbkPairs[lead][trail];
    }
  }
  return t;
}

constexpr U16Table BuildUcs2Gbk() {
  U16Table t{};
  for (int b = 0; b < 0x80; ++b) t.v[b] = static_cast<uint16_t>(b);
  t.v[kEuro] = kEuroByte;
  t.v[kReplacementUnit] = kReplacementByte;
  for (int lead = 0; lead < kGbkLeadCount; ++lead) {
    for (int trail = 0; trail < kGbkTrailCount; ++trail) {
      uint16_t u = kGbkPairs[lead][trail];
      if (u != 0 && t.v[u] == 0) t.v[u] = static_cast<uint16_t>(PairIndex(lead, trail));
    }
  }
  return t;
}

constexpr bool IsControl(int u) { return u <= 0x08 || (u >= 0x0E && u <= 0x1F) || u == 0x7F; }

// Full-width apostrophe, comma and angle brackets keep their form.
constexpr bool KeepsFullWidth(int u) {
  return u == 0xFF07 || u == 0xFF0C || u == 0xFF1C || u == 0xFF1E;
}

constexpr U16Table BuildNormalise() {
  U16Table t{};
  for (int u = 0; u < kTableSize; ++u) t.v[u] = static_cast<uint16_t>(IsControl(u) ? kBlank : u);
  t.v[0x2014] = '-';
  t.v[0xFE33] = '|';
  t.v[0xFE64] = '<';
  t.v[0xFE65] = '>';
  for (int u = 0xFF01; u <= 0xFF5E; ++u) {
    if (!KeepsFullWidth(u)) t.v[u] = static_cast<uint16_t>(u - 0xFF01 + 0x21);
  }
  for (const auto& pair : kTradPairs) t.v[pair[0]] = pair[1];
  return t;
}

constexpr FlagTable BuildCommon(const uint16_t* ranked, int count) {
  FlagTable t{};
  for (int i = 0; i < count; ++i) t.v[ranked[i]] = true;
  return t;
}

constexpr U16Table kGbk2Ucs = BuildGbk2Ucs();
constexpr U16Table kUcs2Gbk = BuildUcs2Gbk();
constexpr U16Table kNormalise = BuildNormalise();
constexpr FlagTable kGbkCommon = BuildCommon(KPub::kGbRanked, KPub::kFreqRankedCount);
constexpr FlagTable kBig5Common = BuildCommon(KPub::kBig5Ranked, kBig5CommonCount);

}  // namespace

const uint16_t* const _g_map_gbk2ucs = kGbk2Ucs.v;
const uint16_t* const _g_map_ucs2gbk = kUcs2Gbk.v;
const uint16_t* const _g_gbk_map = kNormalise.v;
const bool* const _g_gbk_gp_index = kGbkCommon.v;
const bool* const _g_big5_gp_index = kBig5Common.v;

}  // namespace htmlcharset
