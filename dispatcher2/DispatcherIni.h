// INI reader of the dispatcher pool: section and key names are exact
// (case-sensitive), "#" and "//" cut a line anywhere, and the last duplicate
// wins. One owner; ini_read is const and safe once ini_init has returned.
#ifndef DISPATCHER2_DISPATCHERINI_H_
#define DISPATCHER2_DISPATCHERINI_H_

#include <string>
#include <vector>

namespace spider {

class DispatcherIni {
 public:
  // Replaces what was loaded; false when the file cannot be read.
  bool ini_init(const char* path);
  // The value of the last `key` in `section`, or null. Valid until the next
  // ini_init or ini_close.
  const char* ini_read(const char* section, const char* key) const;
  void ini_close() { m_entries.clear(); }

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  void ParseLine(std::string line, std::string& section, bool& in_section);

  std::vector<Entry> m_entries;  // in file order; lookups go newest first
};

}  // namespace spider

#endif  // DISPATCHER2_DISPATCHERINI_H_
