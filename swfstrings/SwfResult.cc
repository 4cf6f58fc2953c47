#include "swfstrings/SwfResult.h"

namespace {

const char* const kErrorTexts[] = {
    "",
    "regcomp failed.",
    "iconv open failed.",
    "iconv convert encode failed.",
    "",
    "swf content is not right.",
    "can't find pos for insert swf contents.",
    "uncompress input stream from docin failed.",
    "extract messy body from swf.",
    "exception in swflib occurs.",
};

}  // namespace

const char* GetErrorMsg(int code) {
  if (code < 0 || code >= static_cast<int>(sizeof(kErrorTexts) / sizeof(kErrorTexts[0]))) {
    return "";
  }
  return kErrorTexts[code];
}

bool IsWarnMsg(int code) { return code >= kSwfRegcompFailed && code <= kSwfIconvConvertFailed; }
