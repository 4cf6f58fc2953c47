#include "robots_parser.h"

#include <string.h>
#include <strings.h>

#include <memory>

namespace {

const char* const kKeywords[] = {"useragent", "user-agent",  "allow",
                                 "disallow",  "crawl-delay", "sitemap"};
// A rule value starting with one of these is a misplaced line rather than a path.
const char* const kValueKeywords[] = {"useragent",   "user-agent", "sitemap",
                                      "crawl-delay", "allow",      "disallow"};
// Crawlers whose rules are adopted, in this order, when the file shuts out everyone else.
const char* const kFallbackAgents[] = {"Googlebot", "Baiduspider", "Sogou web spider",
                                       "Sosospider"};
// Disallow values beyond this many per scan are dropped.
constexpr int kMaxDisallowValues = 100;
const char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr size_t kUtf8BomLen = sizeof kUtf8Bom - 1;
const char kHtmlBreak[] = "<br />";
const char kSeparator = ':';

bool isBlank(char ch) { return ch == ' ' || ch == '\t'; }

bool isTokenSeparator(char ch, char c) {
  return ch == c || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// Trims blanks and TABs around the zero-terminated text at p, in place.
char* trimBlanks(char* p) {
  while (isBlank(*p)) ++p;
  size_t n = strlen(p);
  while (n > 0 && isBlank(p[n - 1])) p[--n] = '\0';
  return p;
}

// Ends the piece at stop and moves *posParse past it, or onto the terminator at the end.
void cutAt(char* stop, char** posParse) {
  if (*stop == '\0') {
    *posParse = stop;
    return;
  }
  *stop = '\0';
  *posParse = stop + 1;
}

bool isAgentKeyword(const char* token) {
  return strcasecmp(token, "useragent") == 0 || strcasecmp(token, "user-agent") == 0;
}

bool isKeyword(const char* token) {
  for (const char* kw : kKeywords)
    if (strcasecmp(token, kw) == 0) return true;
  return false;
}

bool beginsWithKeyword(const char* value) {
  for (const char* kw : kValueKeywords)
    if (strncasecmp(value, kw, strlen(kw)) == 0) return true;
  return false;
}

void appendValue(std::string& list, const char* value) {
  if (!list.empty()) list += '|';
  list += value;
}

// Reads the names of one User-agent line and sets `state` from them; returns the token that
// ends the group header (in an ignored group, the next User-agent keyword).
char* readAgentGroup(const char* pszUserAgent, char** posParse, std::string& strDisallow,
                     std::string& strAllow, int& state) {
  state = ROBOTS_IGNORE;
  char* token = nextToken(posParse, kSeparator);
  for (; token != nullptr && !isKeyword(token); token = nextToken(posParse, kSeparator)) {
    if (caseContain(token, pszUserAgent)) {
      state = ROBOTS_OWN_GROUP;
      strDisallow.clear();
      strAllow.clear();
    } else if (state == ROBOTS_IGNORE && strcmp(token, "*") == 0) {
      state = ROBOTS_COLLECT;
    }
  }
  if (state == ROBOTS_IGNORE)
    while (token != nullptr && !isAgentKeyword(token)) token = nextToken(posParse, kSeparator);
  return token;
}

// Reads one rule value into `list`; returns the next token to examine. `counted` is the
// per-scan Disallow counter, null for Allow rules, which have no limit.
char* readRule(char** posParse, int state, std::string& list, int* counted) {
  char* value = getEndStr(posParse);
  if (state == ROBOTS_IGNORE || beginsWithKeyword(value)) return value;
  if (counted == nullptr || (*counted)++ < kMaxDisallowValues)
    appendValue(list, strcmp(value, "*") == 0 ? "/" : value);
  return nextToken(posParse, kSeparator);
}

// Runs one scan over a fresh copy of the prepared text.
void scanCopy(const char* pszUserAgent, const char* prepared, size_t len, char* work,
              std::string& strDisallow, std::string& strAllow, int& state) {
  memcpy(work, prepared, len + 1);
  parseRobots(pszUserAgent, work, strDisallow, strAllow, state);
}

}  // namespace

char* nextToken(char** posParse, char c) {
  char* p = *posParse;
  for (;;) {
    while (*p != '\0' && isTokenSeparator(*p, c)) ++p;
    if (*p != '#') break;
    char* lf = strchr(p, '\n');
    if (lf == nullptr) {
      *posParse = p + strlen(p);
      return nullptr;
    }
    p = lf;
  }
  if (*p == '\0') {
    *posParse = p;
    return nullptr;
  }
  char* token = p;
  char* stop;
  if (*p == '"') {
    token = p + 1;
    stop = strchr(token, '"');
    if (stop == nullptr) stop = token + strlen(token);
  } else {
    const char ends[] = {c, '\t', '\r', '\n', '\0'};
    stop = token + strcspn(token, ends);
  }
  cutAt(stop, posParse);
  return trimBlanks(token);
}

char* getEndStr(char** posParse) {
  char* p = *posParse;
  while (isBlank(*p)) ++p;
  char* stop = p + strcspn(p, "\r\n#");
  cutAt(stop, posParse);
  return trimBlanks(p);
}

bool caseContain(const char* a, const char* b) {
  size_t na = strlen(a);
  for (const char* p = b;; ++p) {
    if (strncasecmp(p, a, na) == 0) return true;
    if (*p == '\0') return false;
  }
}

bool substitute(const char* pInput, char* pOutput, size_t nOutSize, const char* pSrc,
                const char* pDst) {
  if (nOutSize == 0) return false;
  const size_t nSrc = strlen(pSrc), nDst = strlen(pDst);
  size_t out = 0;
  for (const char* p = pInput; *p != '\0';) {
    const char* piece = p;
    size_t n = 1;
    if (nSrc > 0 && strncmp(p, pSrc, nSrc) == 0) {
      piece = pDst;
      n = nDst;
      p += nSrc;
    } else {
      ++p;
    }
    if (out + n >= nOutSize) {
      pOutput[out] = '\0';
      return false;
    }
    memcpy(pOutput + out, piece, n);
    out += n;
  }
  pOutput[out] = '\0';
  return true;
}

void parseRobots(const char* pszUserAgent, char* pszPage, std::string& strDisallow,
                 std::string& strAllow, int& state) {
  char* pos = pszPage;
  int counted = 0;
  char* token = nextToken(&pos, kSeparator);
  while (token != nullptr) {
    if (isAgentKeyword(token)) {
      if (state == ROBOTS_OWN_GROUP) return;
      token = readAgentGroup(pszUserAgent, &pos, strDisallow, strAllow, state);
    } else if (strcasecmp(token, "disallow") == 0) {
      token = readRule(&pos, state, strDisallow, &counted);
    } else if (strcasecmp(token, "allow") == 0) {
      token = readRule(&pos, state, strAllow, nullptr);
    } else {
      token = nextToken(&pos, kSeparator);
    }
  }
}

void parse_robots(const char* pszUserAgent, const char* pszPage, size_t nPageLen,
                  std::string& strDisallow, std::string& strAllow) {
  strDisallow.clear();
  strAllow.clear();
  if (pszPage == nullptr) return;
  if (pszUserAgent == nullptr) pszUserAgent = "";
  const char* nul = static_cast<const char*>(memchr(pszPage, '\0', nPageLen));
  if (nul != nullptr) nPageLen = nul - pszPage;
  if (nPageLen >= kUtf8BomLen && memcmp(pszPage, kUtf8Bom, kUtf8BomLen) == 0) {
    pszPage += kUtf8BomLen;
    nPageLen -= kUtf8BomLen;
  }
  size_t len = nPageLen < kRobotsTextMax ? nPageLen : kRobotsTextMax;
  std::unique_ptr<char[]> prepared(new char[len + 1]);
  memcpy(prepared.get(), pszPage, len);
  prepared[len] = '\0';
  std::unique_ptr<char[]> work(new char[len + 1]);
  if (strstr(prepared.get(), kHtmlBreak) != nullptr) {
    // Replacing shrinks the text, so it always fits and the work buffer is free to use.
    substitute(prepared.get(), work.get(), len + 1, kHtmlBreak, "\n");
    len = strlen(work.get());
    memcpy(prepared.get(), work.get(), len + 1);
  }

  int state = ROBOTS_IGNORE;
  scanCopy(pszUserAgent, prepared.get(), len, work.get(), strDisallow, strAllow, state);
  if (strDisallow != "/" || state == ROBOTS_OWN_GROUP) return;
  for (const char* agent : kFallbackAgents) {
    strDisallow.clear();
    strAllow.clear();
    state = ROBOTS_COLLECT;
    scanCopy(agent, prepared.get(), len, work.get(), strDisallow, strAllow, state);
    if (strDisallow != "/" || !strAllow.empty()) return;
  }
}

void parse_robots(const char* pszUserAgent, const char* pszPage, std::string& strDisallow,
                  std::string& strAllow) {
  size_t len = pszPage == nullptr ? 0 : strnlen(pszPage, kUtf8BomLen + kRobotsTextMax);
  parse_robots(pszUserAgent, pszPage, len, strDisallow, strAllow);
}
