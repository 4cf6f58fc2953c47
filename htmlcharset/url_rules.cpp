#include "htmlcharset/url_rules.h"

#include <string.h>

#include <fstream>
#include <string>

namespace {

constexpr size_t kMaxRuleCharsetName = 32;

std::unique_ptr<DTreeClass<charset_t>> g_pRules;

// One rule line into the tree; lines without three fields or with an
// overlong charset name are skipped.
void AddRule(const std::string& line, DTreeClass<charset_t>* tree) {
  static const char kBlanks[] = " \t";
  size_t first_end = line.find_first_of(kBlanks, line.find_first_not_of(kBlanks));
  size_t name_start = line.find_first_not_of(kBlanks, first_end);
  if (name_start == std::string::npos) return;
  size_t name_end = line.find_first_of(kBlanks, name_start);
  size_t url_start = line.find_first_not_of(kBlanks, name_end);
  if (url_start == std::string::npos || name_end - name_start > kMaxRuleCharsetName) return;
  size_t url_end = line.find_last_not_of("\r") + 1;
  charset_t type = charset_name_to_type(line.data() + name_start, name_end - name_start);
  tree->insert(line.data() + url_start, url_end - url_start, type);
}

}  // namespace

int html_init(const char* path) {
  std::ifstream in(path);
  if (!in) return -1;
  std::unique_ptr<DTreeClass<charset_t>> tree(new DTreeClass<charset_t>);
  for (std::string line; std::getline(in, line);) AddRule(line, tree.get());
  g_pRules = std::move(tree);
  return 0;
}

void html_destroy() { g_pRules.reset(); }

charset_t html_url_charset(const char* url) {
  charset_t type = CHARSET_NONE;
  if (g_pRules && url != nullptr) g_pRules->longest_match(url, strlen(url), &type);
  return type;
}
