// Reloadable domain-suffix filter: answers whether a host ends with one of the
// entries of a text file, and picks up edits of the file at most once per
// check interval. Thread-safety: StrFilter::match may be called from any
// thread (it holds `mutex` for the whole call, reload included);
// StrMatchSet and the free functions are not locked.
#ifndef CRAWLER_STRFILTER_H_
#define CRAWLER_STRFILTER_H_

#include <istream>
#include <set>
#include <string>

#include "kpub/ktime.h"
#include "kpub/threadlock.h"

// Orders strings by their bytes from the end, ignoring case, over the length
// of the shorter one; a string that is a suffix of the other is equivalent.
struct revstr_less {
  bool operator()(const std::string& a, const std::string& b) const;
};

// Keeps only the most general suffixes: no entry is a suffix of another.
template <class Less>
class StrMatchSet {
 public:
  // False when an entry already covers x; entries x covers are dropped.
  bool insert(const std::string& x) {
    for (;;) {
      typename std::set<std::string, Less>::iterator it = filter.find(x);
      if (it == filter.end()) break;
      if (x.size() >= it->size()) return false;
      filter.erase(it);
    }
    filter.insert(x);
    return true;
  }
  // True when some entry is a suffix of s (ignoring case).
  bool match(const std::string& s) const {
    typename std::set<std::string, Less>::const_iterator it = filter.find(s);
    return it != filter.end() && s.size() >= it->size();
  }
  void clear() { filter.clear(); }
  size_t size() const { return filter.size(); }

 private:
  std::set<std::string, Less> filter;
};

class StrFilter {
 public:
  StrFilter(const std::string& filterfile, const KPub::Time& checktime, const std::string& prefix);
  StrFilter(const StrFilter&) = delete;
  StrFilter& operator=(const StrFilter&) = delete;

  bool match(const std::string& strInput);
  // Replaces the entries with the file's; false (entries kept) when it
  // cannot be opened.
  bool load(const std::string& loadfile);
  // Reloads when the interval has passed and a file changed; `mutex` held.
  void CheckOrLoad();

 private:
  StrMatchSet<revstr_less> filter;  // guarded by mutex
  KPub::kMutex mutex;
  KPub::Time lastTime;     // guarded by mutex
  KPub::Time lastModTime;  // guarded by mutex; shared by both files
  std::string filename;
  std::string defaultfile;
  KPub::Time interval;
};

// Reads lines into `domain` until one of at least 3 bytes that does not start
// with "#"; the stream is failed when the input ends first.
std::istream& loadDomain(std::istream& input, std::string& domain);
// True, with lastModTime advanced, when the file's modification time (whole
// seconds) is later than lastModTime.
bool isFileModify(const std::string& filename, KPub::Time& lastModTime);

#endif  // CRAWLER_STRFILTER_H_
