#include "swfstrings/SwfExtract.h"

#include <cstring>
#include <map>

#include "swfstrings/SwfPlace.h"
#include "swfstrings/SwfResult.h"
#include "swfstrings/SwfText.h"
#include "swfstrings/SwfUtf8.h"

namespace {

// Bounds the SWF data read for one stream: back-to-back candidates may
// overlap, and each is read up to its declared length.
constexpr size_t kMaxStreamSwfBytes = 64u << 20;
constexpr size_t kSignatureLength = 3;
constexpr size_t kNextSearchOffset = 8;
constexpr size_t kLengthFieldOffset = 4;
constexpr uint32_t kFirstVisibleCode = 32;

const char* const kSignatures[] = {"CWS", "FWS", "ZWS"};

size_t FindFirstSwf(const std::string& c) {
  for (const char* sig : kSignatures) {
    if (c.compare(0, kSignatureLength, sig) == 0) return 0;
  }
  for (const char* sig : kSignatures) {
    size_t p = c.find(sig);
    if (p != std::string::npos) return p;
  }
  return 0;
}

uint32_t Le32(const std::string& c, size_t pos) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(c.data()) + pos;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A compressed candidate is taken when at least a quarter of its declared
// length is present, an uncompressed one only when all of it is.
size_t FindNextSwf(const std::string& c, size_t start, const std::string& sig) {
  size_t from = start + kNextSearchOffset;
  while (from < c.size()) {
    size_t cand = c.find(sig, from);
    if (cand == std::string::npos) return cand;
    if (cand + kLengthFieldOffset + 4 <= c.size()) {
      uint32_t need = Le32(c, cand + kLengthFieldOffset) / (sig[0] == 'C' ? 4 : 1);
      if (c.size() - cand >= need) return cand;
    }
    from = cand + kNextSearchOffset;
  }
  return std::string::npos;
}

void AppendGlyphs(SwfThreadState& st, const SwfFont* font, const SwfTextRun& run) {
  for (int i = 0; i < run.m_iCount; ++i) {
    uint32_t c = font != nullptr ? font->codeOf(run.m_pGlyphs[i]) : 0;
    if (c == 0) c = run.m_pGlyphs[i];
    if (c < kFirstVisibleCode) continue;
    if (c == '&') {
      st.m_strText += "&amp;";
    } else if (c == '<') {
      st.m_strText += "&lt;";
    } else if (c == '>') {
      st.m_strText += "&gt;";
    } else {
      st.m_detector.ReadIn(c);
      SwfAppendUtf8(st.m_strText, c);
    }
  }
}

// Text is taken where a text definition is placed, in placement order.
void ExtractText(SwfThreadState& st, SwfTextBudget& budget) {
  ExtractSwfFonts(st.m_swf, st.m_fonts);
  st.m_iFontCount = static_cast<int>(st.m_fonts.size());
  std::map<int, const SwfFont*> fonts;
  for (const SwfFont& f : st.m_fonts) fonts[f.m_iId] = &f;
  auto write = [&](const SwfTextRun& run) {
    auto it = fonts.find(run.m_iFontId);
    AppendGlyphs(st, it == fonts.end() ? nullptr : it->second, run);
  };
  std::map<int, const SwfTag*> texts;
  for (const SwfTag& tag : st.m_swf.m_tags) {
    SwfPlacement place;
    if (IsSwfTextTag(tag)) {
      int id = SwfDefinitionId(tag);
      if (id >= 0) texts[id] = &tag;
    } else if (IsSwfPlaceTag(tag) && ReadSwfPlacement(tag, place) && !place.m_bMove) {
      auto it = texts.find(place.m_iCharId);
      if (it != texts.end()) ParseSwfText(*it->second, nullptr, write, budget);
    }
  }
}

void FreeState(SwfThreadState& st) {
  FreeSwf(st.m_swf);
  std::vector<SwfFont>().swap(st.m_fonts);
  st.m_iFontCount = 0;
  std::string().swap(st.m_strText);
}

int ExtractAll(SwfThreadState& st, const std::string& content, std::string& text, bool more) {
  size_t start = FindFirstSwf(content);
  const std::string sig = content.substr(start, kSignatureLength);
  size_t budgetLeft = kMaxStreamSwfBytes;
  SwfTextBudget textBudget(kSwfMaxTextWork);
  for (;;) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(content.data()) + start;
    if (ReadSwfFromMemory(data, content.size() - start, st.m_swf, &st.m_strWarnings) < 0) {
      return kSwfBadContent;
    }
    ExtractText(st, textBudget);
    text += st.m_strText;
    size_t used = st.m_swf.m_lBytesRead;
    FreeState(st);
    if (!more || used >= budgetLeft) return kSwfOk;
    budgetLeft -= used;
    start = FindNextSwf(content, start, sig);
    if (start == std::string::npos) return kSwfOk;
  }
}

}  // namespace

SwfThreadState& SwfThreadLocalState() {
  static thread_local SwfThreadState state;
  return state;
}

int ExtractStringsFromSwfStream(const std::string& content, std::string& text, bool more) {
  SwfThreadState& st = SwfThreadLocalState();
  st.m_strWarnings.clear();
  int rc;
  try {
    rc = ExtractAll(st, content, text, more);
  } catch (...) {
    rc = kSwfLibException;
  }
  FreeState(st);
  return rc;
}
