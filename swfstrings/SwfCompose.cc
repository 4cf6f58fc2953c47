#include "swfstrings/SwfCompose.h"

#include <regex.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>
#include <vector>

#include "htmlcharset/html_charset.h"
#include "swfstrings/SwfConvert.h"
#include "swfstrings/SwfExtract.h"
#include "swfstrings/SwfResult.h"

namespace {

// The site's markup; these change when the site changes its viewer.
const char kDocIdPattern[] = "<input *name *= *\"doc_id\" *value *= *\"([0-9a-zA-Z]+)\"";
const char kDocReaderPattern[] = "<div *id *= *\"doc_reader\" *>";
const char kDocReaderText[] = "<div id=\"doc_reader\">";
const char kBdDocReaderText[] = "<div class=\"bd doc-reader\"";
const char kWrapOpen[] =
    "<div style=\"height:500px;word-break:break-all;overflow:hidden;display:block;"
    "text-overflow:ellipsis;background-color:#bbbbbb;border:1px solid black;\">";
const char kWrapClose[] = "</div>";
const char kDefaultDocServiceBase[] = "http://wenku.baidu.com/play";

constexpr size_t kCharsetNameCapacity = 32;
// Marker of SWF data: " CWS", " FWS" or " ZWS" with "WS" at these positions.
constexpr size_t kSwfMarkFirst = 3;
constexpr size_t kSwfMarkLast = 149;
// A plain-text header ends with "} " before this position.
constexpr size_t kPlainHeaderLimit = 150;

std::mutex g_baseMutex;
std::string g_strDocServiceBase = kDefaultDocServiceBase;

class PosixRegex {
 public:
  explicit PosixRegex(const char* pattern) { m_bOk = regcomp(&m_re, pattern, REG_EXTENDED) == 0; }
  bool ok() const { return m_bOk; }
  // Matches over the whole string, zero bytes included.
  bool search(const std::string& s, regmatch_t* m, size_t count) const {
    m[0].rm_so = 0;
    m[0].rm_eo = static_cast<regoff_t>(s.size());
    return regexec(&m_re, s.c_str(), count, m, REG_STARTEND) == 0;
  }

 private:
  regex_t m_re;
  bool m_bOk;
};

bool PageIsGbk(const std::string& page) {
  char name[kCharsetNameCapacity] = {0};
  int len = static_cast<int>(std::min<size_t>(page.size(), INT_MAX));
  html_charset(page.data(), len, name, sizeof(name));
  return strcasecmp(name, "gbk") == 0;
}

bool FindAfterBdDocReader(const std::string& page, size_t& pos) {
  size_t p = page.find(kBdDocReaderText);
  if (p == std::string::npos) return false;
  size_t gt = page.find('>', p + sizeof(kBdDocReaderText) - 1);
  if (gt == std::string::npos) return false;
  pos = gt + 1;
  return true;
}

bool FindInsertPos(const std::string& page, size_t& pos, int& code) {
  static const PosixRegex re(kDocReaderPattern);
  if (re.ok()) {
    regmatch_t m[1];
    if (re.search(page, m, 1)) {
      pos = static_cast<size_t>(m[0].rm_eo);
      return true;
    }
  } else {
    code = std::max(code, static_cast<int>(kSwfRegcompFailed));
    size_t p = page.find(kDocReaderText);
    if (p != std::string::npos) {
      pos = p + sizeof(kDocReaderText) - 1;
      return true;
    }
  }
  return FindAfterBdDocReader(page, pos);
}

bool LooksLikeSwf(const std::string& c) {
  size_t from = 0;
  for (;;) {
    size_t p = c.find("WS", from);
    if (p == std::string::npos || p < kSwfMarkFirst || p > kSwfMarkLast) return false;
    char kind = c[p - 1];
    if ((kind == 'C' || kind == 'F' || kind == 'Z') && c[p - 2] == ' ') return true;
    from = p + 1;
  }
}

std::string PlainText(const std::string& c) {
  size_t start = 0;
  size_t p = c.find("} ");
  if (p != std::string::npos && p < kPlainHeaderLimit) {
    start = p + 2;
    while (start < c.size() && c[start] == ' ') ++start;
  }
  std::string text;
  text.reserve(c.size() - start);
  for (size_t i = start; i < c.size(); ++i) {
    if (c[i] != '\r' && c[i] != '\n') text += c[i];
  }
  return text;
}

// The text to insert, or a failure code; warnings are noted in code.
int DocumentText(const std::string& content, std::string& text, int& code) {
  if (!LooksLikeSwf(content)) {
    text = PlainText(content);
    return kSwfOk;
  }
  int rc = ExtractStringsFromSwfStream(content, text, true);
  if (rc != kSwfOk && !IsWarnMsg(rc)) return rc;
  code = std::max(code, rc);
  if (!SwfThreadLocalState().m_detector.IsValidStream()) return kSwfMessyBody;
  return kSwfOk;
}

}  // namespace

void SetBaiduDocServiceBase(const std::string& base) {
  std::lock_guard<std::mutex> lock(g_baseMutex);
  g_strDocServiceBase = base;
}

std::string BaiduDocServiceBase() {
  std::lock_guard<std::mutex> lock(g_baseMutex);
  return g_strDocServiceBase;
}

int ExtractSwfDownloadUrlFromBaidu(const std::string& page, std::string& url, int pageCount) {
  static const PosixRegex re(kDocIdPattern);
  regmatch_t m[2];
  if (!re.ok() || !re.search(page, m, 2) || m[1].rm_so < 0) return 0;
  std::string id = page.substr(m[1].rm_so, m[1].rm_eo - m[1].rm_so);
  std::string base = BaiduDocServiceBase();
  std::vector<char> buf(base.size() + id.size() + 64);
  snprintf(buf.data(), buf.size(), "%s/%s?pn=1&rn=%d", base.c_str(), id.c_str(), pageCount);
  url = buf.data();
  return 1;
}

int ComposePageWithSwfFromBaidu(const std::string& content, std::string& page) {
  int code = kSwfOk;
  bool gbk = PageIsGbk(page);
  size_t pos = 0;
  if (!FindInsertPos(page, pos, code)) return kSwfNoInsertPos;
  SwfThreadLocalState().m_detector.Reset();
  std::string text;
  int rc = DocumentText(content, text, code);
  if (rc != kSwfOk) return rc;
  if (gbk) {
    std::string converted;
    rc = ConvertUtf8ToGb18030(text, converted);
    if (rc == kSwfOk) {
      text.swap(converted);
    } else {
      code = std::max(code, rc);
    }
  }
  page.insert(pos, kWrapOpen + text + kWrapClose);
  return IsWarnMsg(code) ? kSwfOk : code;
}
