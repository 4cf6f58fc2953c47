// Test support: reading back what records carry — lines of a file, the
// base64 text and the zlib stream of a page. Pure functions.
#ifndef CRAWLER_TESTS_SUPPORT_RECORD_BYTES_H_
#define CRAWLER_TESTS_SUPPORT_RECORD_BYTES_H_

#include <string>
#include <vector>

namespace testsupport {

// The newline-terminated lines of `text` (a last line without newline is
// left out: it may still be being written).
std::vector<std::string> Lines(const std::string& text);

// Standard base64; `ok` is false for a bad length or character.
std::string Base64Decode(const std::string& text, bool& ok);

// A whole zlib stream into `out`; false when it is damaged or incomplete.
bool Inflate(const std::string& in, std::string& out);

}  // namespace testsupport

#endif  // CRAWLER_TESTS_SUPPORT_RECORD_BYTES_H_
