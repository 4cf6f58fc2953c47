#include "INIFile.h"

#include <stdio.h>
#include <string.h>

namespace {

constexpr int kLineBuffer = 512;
constexpr int kPieceMax = 510;
const char* const kInlineComments[] = {"\t#", " #", "\t//", " //"};

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string TrimBlanks(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Trailing line ends, blanks and NULs go, but never the first character.
std::string StripTail(const char* buf, size_t len) {
  while (len > 1 && strchr("\r\n \t", buf[len - 1]) != nullptr) --len;
  return std::string(buf, len);
}

bool IsComment(const std::string& line) {
  return line.compare(0, 2, "//") == 0 || line[0] == '#';
}

// The value after "=": leading blanks skipped, cut before the first kind of
// inline comment marker that occurs, trailing blanks removed. The blank in
// front of a marker may be the last of the skipped ones ("k = # note").
std::string ValueOf(const std::string& line, size_t eq) {
  std::string rest = line.substr(eq + 1);
  size_t b = rest.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t end = rest.size();
  for (const char* marker : kInlineComments) {
    size_t pos = rest.find(marker, b > 0 ? b - 1 : 0);
    if (pos != std::string::npos) {
      end = pos;
      break;
    }
  }
  if (end <= b) return std::string();
  std::string value = rest.substr(b, end - b);
  size_t e = value.find_last_not_of(" \t");
  return e == std::string::npos ? std::string() : value.substr(0, e + 1);
}

}  // namespace

bool INIFile::inistruct::operator()(const inistruct& a, const inistruct& b) const {
  int c = a.section.compare(b.section);
  if (c == 0) c = a.key.compare(b.key);
  return c < 0;
}

int INIFile::init(const char* sFile) { return initial(sFile); }

void INIFile::close() {
  _M_data.clear();
  _M_init = false;
}

const char* INIFile::read(const char* sect, const char* key) const {
  if (!_M_init || sect == nullptr || key == nullptr) return nullptr;
  inistruct probe{Upper(sect), Upper(key), std::string()};
  auto it = _M_data.find(probe);
  return it == _M_data.end() ? nullptr : it->value.c_str();
}

int INIFile::initial(const char* filename) {
  FILE* fp = fopen(filename, "r");
  if (fp == nullptr) {
    fprintf(stderr, "open inifile [%s] error.\n", filename);
    return -1;
  }
  std::vector<std::string> lines;
  char buf[kLineBuffer];
  while (fgets(buf, kPieceMax + 1, fp) != nullptr) {
    size_t len = strlen(buf);
    if (len == 0) continue;
    std::string line = StripTail(buf, len);
    if (line.size() < 3 || IsComment(line)) continue;
    lines.push_back(line);
  }
  fclose(fp);
  parseLines(lines);
  _M_init = true;
  return 0;
}

void INIFile::parseLines(const std::vector<std::string>& lines) {
  std::string section;
  for (const std::string& line : lines) {
    size_t open = line.find('[');
    size_t close = line.rfind(']');
    if (open != std::string::npos && close != std::string::npos) {
      section = close > open ? line.substr(open + 1, close - open - 1) : std::string();
      continue;
    }
    if (section.empty()) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = TrimBlanks(line.substr(0, eq));
    if (key.empty()) continue;
    std::string value = ValueOf(line, eq);
    if (value.empty()) continue;
    _M_data.insert(inistruct{Upper(section), Upper(key), value});
  }
}
