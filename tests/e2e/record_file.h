// Reading back what a crawler run wrote: result records (one JSON-shaped
// object per line after "\toutput\tscribe\t<category>\t"), the pages they
// carry, and tab-separated audit lines. Pure functions over file text.
#ifndef TESTS_E2E_RECORD_FILE_H_
#define TESTS_E2E_RECORD_FILE_H_

#include <string>
#include <vector>

#include "record_bytes.h"

namespace e2e {

struct Record {
  std::string category;
  std::string json;  // the object text
  // A member's value: a JSON string decoded (\uXXXX below 0x100 as one
  // byte, as record quoting writes bytes), any other value as written.
  // Empty when absent.
  std::string Field(const std::string& name) const;
  bool Has(const std::string& name) const;
  // The page of "content": base64, then zlib; "<bad content>" when either
  // step fails.
  std::string Page() const;
};

std::vector<Record> ParseRecords(const std::string& text);
// Records whose "url" is `url`.
std::vector<Record> RecordsOf(const std::vector<Record>& records, const std::string& url);

using testsupport::Lines;
// The value of "name:value" among the tab-separated fields of `line`.
std::string AuditField(const std::string& line, const std::string& name);
// Audit lines of the given kind ("emit", "redownload", ...) for one item.
std::vector<std::string> AuditLinesOf(const std::string& text, const std::string& kind,
                                      const std::string& url);

}  // namespace e2e

#endif  // TESTS_E2E_RECORD_FILE_H_
