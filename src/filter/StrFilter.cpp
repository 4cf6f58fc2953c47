#include "StrFilter.h"

#include <ctype.h>
#include <sys/stat.h>

#include <fstream>

namespace {

// Lines shorter than this carry no entry.
constexpr size_t kMinEntryLength = 3;

}  // namespace

bool revstr_less::operator()(const std::string& a, const std::string& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 1; i <= n; ++i) {
    int ca = tolower(static_cast<unsigned char>(a[a.size() - i]));
    int cb = tolower(static_cast<unsigned char>(b[b.size() - i]));
    if (ca != cb) return ca < cb;
  }
  return false;
}

std::istream& loadDomain(std::istream& input, std::string& domain) {
  while (std::getline(input, domain)) {
    if (domain.size() >= kMinEntryLength && domain[0] != '#') break;
  }
  return input;
}

bool isFileModify(const std::string& filename, KPub::Time& lastModTime) {
  if (filename.empty()) return false;
  struct stat st;
  if (stat(filename.c_str(), &st) != 0) return false;
  KPub::Time mod(static_cast<int64_t>(st.st_mtime));
  if (mod <= lastModTime) return false;
  lastModTime = mod;
  return true;
}

StrFilter::StrFilter(const std::string& filterfile, const KPub::Time& checktime,
                     const std::string& prefix)
    : mutex(false),
      filename(filterfile),
      defaultfile(prefix.empty() ? std::string() : prefix + filterfile),
      interval(checktime) {}

bool StrFilter::match(const std::string& strInput) {
  KPub::scopelock<KPub::kMutex> guard(mutex);
  CheckOrLoad();
  return filter.match(strInput);
}

bool StrFilter::load(const std::string& loadfile) {
  std::ifstream in(loadfile.c_str());
  if (!in.is_open()) return false;
  filter.clear();
  std::string domain;
  while (loadDomain(in, domain)) filter.insert(domain);
  return true;
}

void StrFilter::CheckOrLoad() {
  KPub::Time now = KPub::Time::now(true);
  if (now < lastTime + interval) return;
  lastTime = now;
  if (isFileModify(defaultfile, lastModTime)) {
    load(defaultfile);
  } else if (isFileModify(filename, lastModTime)) {
    load(filename);
  }
}
