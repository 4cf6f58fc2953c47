// Result codes of SWF document page composition and their log texts.
// Constant tables; safe from any thread.
#ifndef SWFSTRINGS_SWFRESULT_H
#define SWFSTRINGS_SWFRESULT_H

enum SwfResultCode {
  kSwfOk = 0,
  kSwfRegcompFailed = 1,
  kSwfIconvOpenFailed = 2,
  kSwfIconvConvertFailed = 3,
  kSwfBadContent = 5,
  kSwfNoInsertPos = 6,
  kSwfUncompressFailed = 7,
  kSwfMessyBody = 8,
  kSwfLibException = 9,
};

// "" for success and for codes without a text.
const char* GetErrorMsg(int code);
// Codes that count as success with a warning.
bool IsWarnMsg(int code);

#endif
