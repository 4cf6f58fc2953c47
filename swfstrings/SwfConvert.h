// UTF-8 to GB18030 conversion of composed SWF text. Opens its own converter
// per call, so it is safe from any thread.
#ifndef SWFSTRINGS_SWFCONVERT_H
#define SWFSTRINGS_SWFCONVERT_H

#include <string>

// 0 on success; kSwfIconvOpenFailed or kSwfIconvConvertFailed (out then
// untouched).
int ConvertUtf8ToGb18030(const std::string& utf8, std::string& out);

#endif
