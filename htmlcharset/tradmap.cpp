#include "htmlcharset/tradmap.h"

#include "htmlcharset/charset_tables.h"

namespace {

constexpr uint16_t kIdeographicSpace = 0x3000;

enum Pending { kNone, kBlank, kLineBreak };

}  // namespace

int tradmap(uint16_t* units, int n) {
  int out = 0;
  Pending pending = kNone;
  for (int i = 0; i < n; ++i) {
    uint16_t u = units[i];
    if (u == '\n' || u == '\r') {
      pending = kLineBreak;
    } else if (u == ' ' || u == '\t' || u == kIdeographicSpace) {
      if (pending == kNone) pending = kBlank;
    } else {
      if (pending != kNone) units[out++] = pending == kLineBreak ? '\n' : ' ';
      pending = kNone;
      units[out++] = htmlcharset::_g_gbk_map[u];
    }
  }
  if (pending == kLineBreak) units[out++] = '\n';
  return out;
}
