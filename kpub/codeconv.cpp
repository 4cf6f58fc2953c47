#include "kpub/codeconv.h"

#include <errno.h>
#include <iconv.h>
#include <string.h>
#include <strings.h>

#include <memory>

#include "kpub/klog.h"

namespace KPub {

namespace {

const char kLogger[] = "kpub.codeconv";
// Conversions whose output fits here use the caller's stack, not the heap.
constexpr size_t kStackConvBytes = 102400;
constexpr size_t kMinConvCapacity = 64;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

struct CachedPair {
  const char* from;
  const char* to;
};

const CachedPair kCachedPairs[] = {
    {"GB18030", "UTF-8"},
    {"BIG5", "UTF-8"},
    {"UTF-8", "GB18030"},
    {"UTF-8", "BIG5"},
};
constexpr int kCachedCount = sizeof(kCachedPairs) / sizeof(kCachedPairs[0]);

// One set per thread: an iconv descriptor keeps conversion state and must
// not be used by two threads at once.
class CachedConverters {
 public:
  CachedConverters() {
    for (int i = 0; i < kCachedCount; ++i)
      m_cd[i] = iconv_open(kCachedPairs[i].to, kCachedPairs[i].from);
  }
  ~CachedConverters() {
    for (iconv_t cd : m_cd) {
      if (cd != kNoConverter) iconv_close(cd);
    }
  }
  CachedConverters(const CachedConverters&) = delete;
  CachedConverters& operator=(const CachedConverters&) = delete;

  iconv_t get(int i) const { return m_cd[i]; }

 private:
  iconv_t m_cd[kCachedCount];
};

int CachedIndex(const char* from, const char* to) {
  for (int i = 0; i < kCachedCount; ++i) {
    if (strcasecmp(from, kCachedPairs[i].from) == 0 && strcasecmp(to, kCachedPairs[i].to) == 0) {
      return i;
    }
  }
  return -1;
}

// Compares two encoding names without case, each up to its first "/".
bool SameCharset(const char* a, const char* b) {
  size_t la = strcspn(a, "/"), lb = strcspn(b, "/");
  return la == lb && strncasecmp(a, b, la) == 0;
}

int ConvertInto(const char* from, const char* to, const char* in, size_t len, char* buf, size_t cap,
                std::string& out) {
  char* ip = const_cast<char*>(in);
  size_t inleft = len;
  char* op = buf;
  size_t outleft = cap;
  errno = 0;
  int r = code_conv(from, to, &ip, &inleft, &op, &outleft);
  if (r >= 0) {
    out.assign(buf, cap - outleft);
    return static_cast<int>(len) - r;
  }
  KLOG_ERRNO(kLogger, ERROR, errno, "iconv from %s to %s return [%d]", from, to, r);
  KLOG(kLogger, ERROR, "inlen=[%zu], leftlen=[%zu], text=[%.*s  ]", len, inleft,
       static_cast<int>(len), in);
  return r;
}

}  // namespace

int code_conv(const char* from, const char* to, char** in, size_t* inleft, char** out,
              size_t* outleft) {
  static thread_local CachedConverters cached;
  int idx = CachedIndex(from, to);
  iconv_t cd = idx >= 0 ? cached.get(idx) : iconv_open(to, from);
  if (cd == kNoConverter) return -2;
  // a cached converter may still hold the shift state of a failed call
  if (idx >= 0) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  size_t r = iconv(cd, in, inleft, out, outleft);
  int saved = errno;
  if (idx < 0) iconv_close(cd);
  **out = '\0';
  errno = saved;
  return static_cast<int>(r);
}

int str_conv(const char* from, const char* to, const char* in, size_t len, std::string& out) {
  if (in == nullptr || len == 0) return 0;
  try {
    out.clear();
    if (SameCharset(from, to)) {
      out.assign(in, len);
      return static_cast<int>(len);
    }
    size_t cap = 2 * len + 1;
    if (cap < kMinConvCapacity) cap = kMinConvCapacity;
    if (cap <= kStackConvBytes) {
      char buf[kStackConvBytes + 1];
      return ConvertInto(from, to, in, len, buf, cap, out);
    }
    std::unique_ptr<char[]> heap(new char[cap + 1]);
    return ConvertInto(from, to, in, len, heap.get(), cap, out);
  } catch (...) {
    KLOG_ERRNO(kLogger, ERROR, errno, "catch error");
    return -1;
  }
}

const char* check_bom(const char* s, size_t len, size_t* bomlen) {
  static const struct {
    const char* mark;
    size_t size;
    const char* name;
  } kMarks[] = {
      {"\xEF\xBB\xBF", 3, "UTF-8"}, {"\xFE\xFF", 2, "UTF-16"},     {"\xFF\xFE\0\0", 4, "UTF-32LE"},
      {"\xFF\xFE", 2, "UTF-16LE"},  {"\0\0\xFE\xFF", 4, "UTF-32"},
  };
  for (const auto& m : kMarks) {
    if (len >= m.size && memcmp(s, m.mark, m.size) == 0) {
      *bomlen = m.size;
      return m.name;
    }
  }
  *bomlen = 0;
  return "";
}

}  // namespace KPub
