// INI configuration reader: sections and keys matched without letter case,
// first occurrence wins, values kept as written. One owner; read-only after
// init, so concurrent read() calls are safe.
#ifndef CRAWLER_INIFILE_H_
#define CRAWLER_INIFILE_H_

#include <set>
#include <string>
#include <vector>

class INIFile {
 public:
  INIFile() : _M_init(false) {}
  ~INIFile() { close(); }
  INIFile(const INIFile&) = delete;
  INIFile& operator=(const INIFile&) = delete;

  // 0 on success, -1 when the file cannot be opened ("open inifile [%s]
  // error.\n" on standard error). A second init adds to the loaded entries,
  // earlier values winning, as within one file.
  int init(const char* sFile);
  void close();
  // The value, or null when not loaded or not stored. Valid until close().
  const char* read(const char* sect, const char* key) const;

  struct inistruct {
    std::string section;
    std::string key;
    std::string value;
    bool operator()(const inistruct& a, const inistruct& b) const;
  };

 private:
  int initial(const char* filename);
  void parseLines(const std::vector<std::string>& lines);

  bool _M_init;
  std::set<inistruct, inistruct> _M_data;
};

#endif  // CRAWLER_INIFILE_H_
