// Text of the SWF files in a downloaded document stream, with the
// per-thread state the extraction works in. Each thread has its own state,
// so threads may extract concurrently; the content is untrusted.
#ifndef SWFSTRINGS_SWFEXTRACT_H
#define SWFSTRINGS_SWFEXTRACT_H

#include <string>
#include <vector>

#include "swfstrings/CommonCharacterDetector.h"
#include "swfstrings/SwfFile.h"
#include "swfstrings/SwfFont.h"

struct SwfThreadState {
  SwfFile m_swf;
  int m_iFontCount = 0;
  std::vector<SwfFont> m_fonts;
  std::string m_strText;
  CommonCharacterDetector m_detector;
  // The reader's warnings of the last extraction: kept here rather than on
  // standard error, which other threads share.
  std::string m_strWarnings;
};

// The calling thread's state, created on first use, released at thread exit.
SwfThreadState& SwfThreadLocalState();

// Appends the text of the first SWF file in content (and, when more is set,
// of the files that follow it) to text. Returns kSwfOk, kSwfBadContent when a
// file cannot be read, or kSwfLibException when reading raised an exception.
int ExtractStringsFromSwfStream(const std::string& content, std::string& text, bool more);

#endif
