#include "dispatcher2/DispatcherIni.h"

#include <stdio.h>
#include <string.h>

#include <memory>

namespace spider {

namespace {

// Lines longer than this are read as several lines.
constexpr size_t kIniLineMax = 1024 * 1024;

// Carriage returns are deliberately kept: a CRLF file leaves them on values.
void TrimIniText(std::string& s) {
  size_t end = s.find_last_not_of(" \t\n");
  if (end == std::string::npos) {
    s.clear();
    return;
  }
  s.erase(end + 1);
  s.erase(0, s.find_first_not_of(" \t"));
}

void CutComment(std::string& s, const char* marker) {
  size_t pos = s.find(marker);
  if (pos != std::string::npos) s.erase(pos);
}

}  // namespace

bool DispatcherIni::ini_init(const char* path) {
  m_entries.clear();
  FILE* fp = path == nullptr ? nullptr : fopen(path, "r");
  if (fp == nullptr) return false;
  std::unique_ptr<char[]> buf(new char[kIniLineMax]);
  std::string section;
  bool in_section = false;
  while (fgets(buf.get(), static_cast<int>(kIniLineMax), fp) != nullptr) {
    ParseLine(buf.get(), section, in_section);
  }
  fclose(fp);
  return true;
}

void DispatcherIni::ParseLine(std::string line, std::string& section, bool& in_section) {
  CutComment(line, "#");
  CutComment(line, "//");
  TrimIniText(line);
  if (line.empty()) return;
  size_t open = line.find('[');
  size_t close = open == std::string::npos ? open : line.find(']', open + 1);
  if (close != std::string::npos) {
    section = line.substr(open + 1, close - open - 1);
    in_section = true;
    return;
  }
  size_t eq = line.find('=');
  if (!in_section || eq == std::string::npos) return;
  Entry e{section, line.substr(0, eq), line.substr(eq + 1)};
  TrimIniText(e.key);
  TrimIniText(e.value);
  if (!e.key.empty() && !e.value.empty()) m_entries.push_back(std::move(e));
}

const char* DispatcherIni::ini_read(const char* section, const char* key) const {
  if (section == nullptr || key == nullptr) return nullptr;
  for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
    if (it->section == section && it->key == key) return it->value.c_str();
  }
  return nullptr;
}

}  // namespace spider
