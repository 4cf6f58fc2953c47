#include "kpub/kurl.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace KPub {

namespace {

// Escape maps: what each byte is written as in one part of the normalised URL.
struct EscapeMap {
  char text[256][4];
};

struct Tables {
  EscapeMap host, path, query;
  std::unordered_set<std::string> suffixes;  // generic and country top-level names
};

const char* const kGenericNames[] = {
    "biz",     "com",     "edu",  "gov",    "info",  "int",    "mil",    "name", "net",  "org",
    "pro",     "aero",    "cat",  "coop",   "jobs",  "museum", "travel", "arpa", "root", "mobi",
    "post",    "tel",     "asia", "geo",    "kid",   "mail",   "sco",    "web",  "xxx",  "nato",
    "example", "invalid", "test", "bitnet", "csnet", "onion",  "uucp",   "ac"};

const char kCountryNames[] =
    "ad ae af ag ai al am an ao aq ar as at au aw ax az ba bb bd be bf bg bh bi bj bm bn bo br "
    "bs bt bv bw by bz ca cc cd cf cg ch ci ck cl cm cn co cr cu cv cx cy cz de dj dk dm do dz "
    "ec ee eg eh er es et eu fi fj fk fm fo fr ga gb gd ge gf gg gh gi gl gm gn gp gq gr gs gt "
    "gu gw gy hk hm hn hr ht hu id ie il im in io iq ir is it je jm jo jp ke kg kh ki km kn kp "
    "kr kw ky kz la lb lc li lk lr ls lt lu lv ly ma mc md me mg mh mk ml mm mn mo mp mq mr ms "
    "mt mu mv mw mx my mz na nc ne nf ng ni nl no np nr nu nz om pa pe pf pg ph pk pl pm pn pr "
    "ps pt pw py qa re ro rs ru rw sa sb sc sd se sg sh si sj sk sl sm sn so sr st su sv sy sz "
    "tc td tf tg th tj tk tl tm tn to tp tr tt tv tw tz ua ug uk um us uy uz va vc ve vg vi vn "
    "vu wf ws ye yt yu za zm zw";

const char* const kDefaultFilter[] = {"phpsessid", "sessionid", "session-id", "session_id",
                                      nullptr};
constexpr size_t kDefaultFilterMin = 3;
constexpr size_t kDefaultFilterMax = 10;

constexpr size_t kFixedUrlMax = 2047;     // memory mode 0: URLs shorter than 2048
constexpr size_t kFixedResultMax = 2047;  // memory mode 0: results shorter than 2048
constexpr size_t kAllocUrlMax = 4095;     // memory mode 1
// Memory mode 1 sizes results to fit: escaping at most triples each byte of a URL.
constexpr size_t kAllocResultMax = 3 * (kAllocUrlMax + 1) - 1;
constexpr int kMaxLabels = 32;  // a host of this many labels is refused
constexpr size_t kMaxLabelLen = 63;
constexpr int kMaxPort = 65535;
constexpr int kDefaultPort = 80;
// A registrable domain never passes over more than this many listed suffix labels.
constexpr int kMaxListedSuffix = 2;

bool isAlnum(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool equalNoCase(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// Letters, digits and `safe` stay; bytes below 0x80 that are not safe vanish when
// dropUnsafeAscii is set; everything else becomes "%XX".
void fillMap(EscapeMap& map, const char* safe, bool dropUnsafeAscii) {
  for (int b = 0; b < 256; ++b) {
    char* out = map.text[b];
    if (b != 0 && (isAlnum(b) || strchr(safe, b) != nullptr)) {
      out[0] = static_cast<char>(b);
      out[1] = '\0';
    } else if (dropUnsafeAscii && b < 0x80) {
      out[0] = '\0';
    } else {
      snprintf(out, sizeof map.text[b], "%%%02X", b);
    }
  }
}

const Tables& tables() {
  // Built on first use; static initialisation runs once even with several threads racing.
  static const Tables* t = [] {
    Tables* built = new Tables;
    fillMap(built->host, "-._", true);
    fillMap(built->path, "-._,:;?{}()~&", false);
    fillMap(built->query, "-._,:;?{}()~/", false);
    for (const char* name : kGenericNames) built->suffixes.insert(name);
    for (const char* p = kCountryNames; *p != '\0'; p += (p[2] == ' ') ? 3 : 2)
      built->suffixes.insert(std::string(p, 2));
    return built;
  }();
  return *t;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "+" becomes a blank and "%" with two hex digits the byte; anything else is kept.
std::string decode(const char* p, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == '+') {
      out += ' ';
    } else if (p[i] == '%' && i + 2 < n && hexValue(p[i + 1]) >= 0 && hexValue(p[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(p[i + 1]) * 16 + hexValue(p[i + 2]));
      i += 2;
    } else {
      out += p[i];
    }
  }
  return out;
}

void encodeTo(std::string& out, const std::string& raw, const EscapeMap& map) {
  for (unsigned char b : raw) out += map.text[b];
}

// Bytes 1 to 32 around a URL are not part of it.
bool isStripped(char c) { return c >= 1 && c <= 32; }

struct Part {
  std::string text;
  bool set = false;

  void assign(const std::string& s) {
    text = s;
    set = true;
  }
  void clear() {
    text.clear();
    set = false;
  }
  const char* get() const { return set ? text.c_str() : nullptr; }
};

}  // namespace

class kurlImp : public kurl {
 public:
  static constexpr size_t LEN_SCHEMA = 16;
  static constexpr size_t LEN_USER = 32;
  static constexpr size_t LEN_PASSWD = 64;
  static constexpr size_t LEN_HOST = 256;
  static constexpr size_t LEN_PATH = 512;
  static constexpr size_t LEN_QUERY = 512;
  static constexpr size_t LEN_FRAGMENT = 256;
  static constexpr int MAX_DNSLEVEL = 8;

  kurlImp(int type, int memMode);

  int setUrl(const char* url) override;
  int setUrl(const std::string& url) override { return setUrl(url.c_str()); }
  void setType(int type) override { m_iType = type; }
  void setFilter(const char** list) override;
  void setRootDNS(const char** list) override;
  void setStrictFlag(int flag) override { m_iStrict = flag; }
  const char* normalize(bool flag) override;
  const char* normalize(const char* url, bool flag) override;
  const char* normalize(const std::string& url, bool flag) override {
    return normalize(url.c_str(), flag);
  }
  const char* makeabsurl(const char* base, const char* rel, bool flag) override;
  const char* makeabsurl(const std::string& base, const std::string& rel, bool flag) override {
    return makeabsurl(base.c_str(), rel.c_str(), flag);
  }
  int getPort() override { return m_iPort; }
  int getErrorCode() override { return m_iError; }
  int getFields(const char** fields) override;
  const char* getHostname() override { return exposed(m_host); }
  const char* getDomainName(int level, bool encoded) override;
  const char* getSchema() override { return exposed(m_schema); }
  const char* getUsername() override { return exposed(m_user); }
  const char* getPassword() override { return exposed(m_passwd); }
  const char* getQueryPath() override;
  const char* getQuery() override { return exposed(m_query); }
  const char* getFragment() override { return exposed(m_fragment); }

 private:
  bool fixed() const { return m_iMemMode != KURL_MEM_ALLOC; }
  // In memory mode 0 a part must stay below its buffer size.
  bool tooLong(const std::string& s, size_t limit) const { return fixed() && s.size() >= limit; }
  const char* exposed(const Part& p) const {
    return m_iType == KURL_TYPE_PARTS ? p.get() : nullptr;
  }
  void clearParts();
  int parse(const char* url);
  int parseRest(const std::string& rest);
  int parseHostPart(std::string hostPart);
  int parsePort(const std::string& digits);
  int checkHost();
  int checkNumericHost() const;
  bool listedSuffix(const std::string& label) const;
  int registrableLabel() const;
  std::string label(int i) const;
  void appendPath(std::string& out, bool flag) const;
  void appendQuery(std::string& out) const;
  void takeFilter(const char* const* list);
  bool filtered(const std::string& name) const;
  std::string resolve(const char* rel) const;

  std::string m_strUrl;  // as last given to setUrl
  Part m_schema, m_user, m_passwd, m_host, m_path, m_query, m_fragment;
  int m_iPort = 0;
  int m_iError = KURL_NO_URL;
  int m_iType;
  int m_iStrict = 1;
  int m_iMemMode;
  size_t m_aLabelStart[kMaxLabels];  // offsets of the host's labels in m_host
  int m_iLabels = 0;
  int m_iDomain = 0;  // label that starts the registrable domain
  std::vector<std::string> m_filter;
  size_t m_iFilterMin = kDefaultFilterMin, m_iFilterMax = kDefaultFilterMax;
  std::vector<std::string> m_root;
  bool m_bRoot = false;
  std::string m_strResult;  // normalize, makeabsurl
  std::string m_strAux;     // getDomainName, getQueryPath
};

kurl* kurl::create(const char* url, int type, int memMode, const char** filter, const char** root) {
  kurlImp* u = new kurlImp(type, memMode);
  u->setFilter(filter);
  u->setRootDNS(root);
  u->setUrl(url);
  return u;
}

kurl* kurl::create(int type, int memMode) { return new kurlImp(type, memMode); }

kurlImp::kurlImp(int type, int memMode) : m_iType(type), m_iMemMode(memMode) {
  tables();
  setFilter(nullptr);
  if (fixed()) {
    // Fixed buffers: sized once to the part limits, never grown afterwards.
    m_schema.text.reserve(LEN_SCHEMA);
    m_user.text.reserve(LEN_USER);
    m_passwd.text.reserve(LEN_PASSWD);
    m_host.text.reserve(LEN_HOST);
    m_path.text.reserve(LEN_PATH);
    m_query.text.reserve(LEN_QUERY);
    m_fragment.text.reserve(LEN_FRAGMENT);
    m_strResult.reserve(kFixedResultMax + 1);
  }
}

void kurlImp::setFilter(const char** list) { takeFilter(list == nullptr ? kDefaultFilter : list); }

void kurlImp::takeFilter(const char* const* list) {
  m_filter.clear();
  m_iFilterMin = m_iFilterMax = 0;
  for (; *list != nullptr; ++list) {
    size_t n = strlen(*list);
    if (m_filter.empty() || n < m_iFilterMin) m_iFilterMin = n;
    if (m_filter.empty() || n > m_iFilterMax) m_iFilterMax = n;
    m_filter.push_back(*list);
  }
}

void kurlImp::setRootDNS(const char** list) {
  m_root.clear();
  m_bRoot = list != nullptr;
  for (; list != nullptr && *list != nullptr; ++list) m_root.push_back(lowered(*list));
}

void kurlImp::clearParts() {
  for (Part* p : {&m_schema, &m_user, &m_passwd, &m_host, &m_path, &m_query, &m_fragment})
    p->clear();
  m_iPort = 0;
  m_iLabels = 0;
  m_iDomain = 0;
}

int kurlImp::setUrl(const char* url) {
  clearParts();
  m_strUrl = url == nullptr ? "" : url;
  m_iError = parse(url);
  return m_iError;
}

int kurlImp::parse(const char* url) {
  if (url == nullptr) return KURL_NO_URL;
  const char* b = url;
  const char* e = url + strlen(url);
  while (b < e && isStripped(*b)) ++b;
  while (e > b && isStripped(e[-1])) --e;
  if (b == e || static_cast<size_t>(e - b) > (fixed() ? kFixedUrlMax : kAllocUrlMax))
    return KURL_BAD_LENGTH;
  std::string s(b, e);

  size_t cut = s.find('#');
  if (cut != std::string::npos) {
    // The fragment is never written out, so an over-long one is cut rather than refused.
    m_fragment.assign(s.substr(cut + 1, fixed() ? LEN_FRAGMENT - 1 : std::string::npos));
    s.erase(cut);
  }
  cut = s.find('?');
  if (cut != std::string::npos) {
    m_query.assign(s.substr(cut + 1));
    if (tooLong(m_query.text, LEN_QUERY)) return KURL_LONG_QUERY;
    s.erase(cut);
  }

  size_t start = 0;
  size_t sep = s.find("://");
  if (sep != std::string::npos && sep > 0) {
    m_schema.assign(lowered(s.substr(0, sep)));
    if (tooLong(m_schema.text, LEN_SCHEMA)) return KURL_LONG_SCHEMA;
    start = sep + 3;
    if (m_schema.text == "file" && start < s.size() && s[start] == '/') ++start;
  } else if (strncasecmp(s.c_str(), "mailto:", 7) == 0) {
    m_schema.assign("mailto");
    start = 7;
  }
  return parseRest(s.substr(start));
}

// What precedes the first "/" is a host part only when it carries a user or port, or at least
// two characters lie between its first dot and the "/" (so "./x" and "../x" are paths).
int kurlImp::parseRest(const std::string& rest) {
  size_t slash = rest.find('/');
  if (slash == std::string::npos) return parseHostPart(rest);
  size_t mark = rest.find_first_of("@:");
  size_t dot = rest.find('.');
  bool hostPart = mark < slash || (dot < slash && slash - dot > 2);
  m_path.assign(hostPart ? rest.substr(slash) : rest);
  if (!hostPart) return KURL_NO_HOST;
  if (tooLong(m_path.text, LEN_PATH)) return KURL_LONG_PATH;
  return parseHostPart(rest.substr(0, slash));
}

int kurlImp::parseHostPart(std::string hostPart) {
  size_t at = hostPart.rfind('@');
  if (at != std::string::npos) {
    std::string userInfo = hostPart.substr(0, at);
    hostPart.erase(0, at + 1);
    size_t colon = userInfo.find(':');
    m_user.assign(userInfo.substr(0, colon));
    if (tooLong(m_user.text, LEN_USER)) return KURL_LONG_USER;
    if (colon != std::string::npos) {
      m_passwd.assign(userInfo.substr(colon + 1));
      if (tooLong(m_passwd.text, LEN_PASSWD)) return KURL_LONG_PASSWD;
    }
  }
  size_t colon = hostPart.find(':');
  if (colon != std::string::npos) {
    if (parsePort(hostPart.substr(colon + 1)) != KURL_OK) return KURL_BAD_PORT;
    hostPart.erase(colon);
  }
  if (!m_user.set && m_iPort == 0 && !m_path.set && hostPart.find('.') == std::string::npos)
    return KURL_NO_HOST;
  m_host.assign(lowered(hostPart));
  if (tooLong(m_host.text, LEN_HOST)) return KURL_LONG_HOST;
  return checkHost();
}

int kurlImp::parsePort(const std::string& digits) {
  int port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return KURL_BAD_PORT;
    port = port * 10 + (c - '0');
    if (port > kMaxPort) return KURL_BAD_PORT;
  }
  if (port == 0) return KURL_BAD_PORT;
  m_iPort = port;
  return KURL_OK;
}

int kurlImp::checkHost() {
  std::string& h = m_host.text;
  if (!h.empty() && h.back() == '.') h.pop_back();
  int dots = 0;
  for (char c : h) dots += c == '.';
  if (dots + 1 >= kMaxLabels) return KURL_MANY_LABELS;
  m_iLabels = 0;
  for (size_t start = 0;;) {
    size_t end = h.find('.', start);
    if (end == std::string::npos) end = h.size();
    if (end == start) return KURL_BAD_HOST;
    m_aLabelStart[m_iLabels++] = start;
    if (end == h.size()) break;
    start = end + 1;
  }
  if (m_iLabels == 1) return KURL_ONE_LABEL;
  std::string last = label(m_iLabels - 1);
  if (last.find_first_not_of("0123456789") == std::string::npos) return checkNumericHost();
  for (int i = 0; i < m_iLabels; ++i)
    if (label(i).size() > kMaxLabelLen) return KURL_LONG_LABEL;
  int domain = registrableLabel();
  if (domain == m_iLabels - 1) return KURL_BAD_HOST;
  m_iDomain = domain < 0 ? 0 : domain;
  return KURL_OK;
}

std::string kurlImp::label(int i) const {
  size_t start = m_aLabelStart[i];
  size_t end = i + 1 < m_iLabels ? m_aLabelStart[i + 1] - 1 : m_host.text.size();
  return m_host.text.substr(start, end - start);
}

int kurlImp::checkNumericHost() const {
  if (m_iLabels != 4) return KURL_BAD_HOST;
  int sum = 0;
  for (int i = 0; i < m_iLabels; ++i) {
    std::string part = label(i);
    if (part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos)
      return KURL_BAD_HOST;
    int value = atoi(part.c_str());
    if (value > 255) return KURL_BAD_HOST;
    sum += value;
  }
  return sum == 0 ? KURL_BAD_HOST : KURL_OK;
}

bool kurlImp::listedSuffix(const std::string& name) const {
  if (!m_bRoot) return tables().suffixes.count(name) != 0;
  for (const std::string& r : m_root)
    if (r == name) return true;
  return false;
}

// Walks the labels from the right over listed suffixes (with the built-in lists at most two);
// returns the label where the walk stopped, -1 when every label is listed.
int kurlImp::registrableLabel() const {
  int i = m_iLabels - 1;
  int passed = 0;
  while (i >= 0 && (m_bRoot || passed < kMaxListedSuffix) && listedSuffix(label(i))) {
    --i;
    ++passed;
  }
  return i;
}

const char* kurlImp::getDomainName(int level, bool encoded) {
  if (m_iType != KURL_TYPE_PARTS) return nullptr;
  std::string name;
  if (m_iError == KURL_ONE_LABEL && m_iStrict == 0) {
    name = m_host.text;
  } else {
    int first = m_iDomain - level;
    if (m_iError != KURL_OK || level < 0 || level >= MAX_DNSLEVEL || first < 0) return nullptr;
    name = m_host.text.substr(m_aLabelStart[first]);
  }
  m_strAux.clear();
  if (encoded)
    encodeTo(m_strAux, name, tables().host);
  else
    m_strAux = name;
  return m_strAux.c_str();
}

const char* kurlImp::getQueryPath() {
  if (m_iType != KURL_TYPE_PARTS || (!m_path.set && !m_query.set)) return nullptr;
  m_strAux = m_path.text;
  if (m_query.set) m_strAux += "?" + m_query.text;
  return m_strAux.c_str();
}

int kurlImp::getFields(const char** fields) {
  const Part* parts[KURL_FIELD_COUNT] = {&m_schema, &m_user,  &m_passwd,  &m_host,
                                         &m_path,   &m_query, &m_fragment};
  for (int i = 0; i < KURL_FIELD_COUNT; ++i) fields[i] = exposed(*parts[i]);
  return m_iError;
}

const char* kurlImp::normalize(bool flag) {
  if (m_iType != KURL_TYPE_PARTS || m_iError != KURL_OK) return nullptr;
  std::string& out = m_strResult;
  out.clear();
  bool mailto = m_schema.text == "mailto";
  out += m_schema.set ? m_schema.text : "http";
  out += mailto ? ":" : "://";
  if (m_user.set) {
    out += m_user.text;
    if (m_passwd.set) out += ":" + m_passwd.text;
    out += '@';
  }
  out += m_host.text;
  if (!mailto) {
    if (m_iPort != 0 && m_iPort != kDefaultPort) out += ":" + std::to_string(m_iPort);
    appendPath(out, flag);
    appendQuery(out);
  }
  if (out.size() > (fixed() ? kFixedResultMax : kAllocResultMax)) {
    m_iError = KURL_BAD_LENGTH;
    return nullptr;
  }
  return out.c_str();
}

const char* kurlImp::normalize(const char* url, bool flag) {
  if (url == nullptr || m_strUrl != url || m_iError == KURL_NO_URL) setUrl(url);
  return normalize(flag);
}

void kurlImp::appendPath(std::string& out, bool flag) const {
  const std::string& path = m_path.text;
  std::vector<size_t> kept;  // where each written segment starts in out
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!kept.empty()) {
        out.resize(kept.back());
        kept.pop_back();
      }
      continue;
    }
    kept.push_back(out.size());
    out += '/';
    if (flag)
      encodeTo(out, decode(segment.data(), segment.size()), tables().path);
    else
      out += segment;
  }
  if (kept.empty() || (!path.empty() && path.back() == '/')) out += '/';
}

void kurlImp::appendQuery(std::string& out) const {
  if (!m_query.set) return;
  const std::string& query = m_query.text;
  bool first = true;
  for (size_t start = 0; start <= query.size();) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    size_t eq = query.find('=', start);
    size_t nameEnd = eq < end ? eq : end;
    std::string name = decode(query.data() + start, nameEnd - start);
    if (!name.empty() && !filtered(name)) {
      out += first ? '?' : '&';
      first = false;
      encodeTo(out, name, tables().query);
      if (eq < end) {
        out += '=';
        encodeTo(out, decode(query.data() + eq + 1, end - eq - 1), tables().query);
      }
    }
    start = end + 1;
  }
}

bool kurlImp::filtered(const std::string& name) const {
  if (name.size() < m_iFilterMin || name.size() > m_iFilterMax) return false;
  for (const std::string& f : m_filter)
    if (equalNoCase(name, f.c_str())) return true;
  return false;
}

const char* kurlImp::makeabsurl(const char* base, const char* rel, bool flag) {
  if (base == nullptr || rel == nullptr) return nullptr;
  if (setUrl(base) != KURL_OK) return nullptr;
  std::string abs = resolve(rel);
  return normalize(abs.c_str(), flag);
}

// rel read against the current URL; dot segments are left for normalize to resolve.
std::string kurlImp::resolve(const char* rel) const {
  size_t head = strcspn(rel, "/?#");
  const char* sep = strstr(rel, "://");
  if ((sep != nullptr && static_cast<size_t>(sep - rel) < head) ||
      strncasecmp(rel, "mailto:", 7) == 0)
    return rel;
  std::string scheme = m_schema.set ? m_schema.text : "http";
  if (rel[0] == '/' && rel[1] == '/') return scheme + ":" + rel;
  std::string origin = scheme + "://";
  if (m_user.set) origin += m_user.text + (m_passwd.set ? ":" + m_passwd.text : "") + "@";
  origin += m_host.text;
  if (m_iPort != 0) origin += ":" + std::to_string(m_iPort);
  std::string path = m_path.set ? m_path.text : "/";
  if (rel[0] == '/') return origin + rel;
  if (rel[0] == '\0' || rel[0] == '#')
    return origin + path + (m_query.set ? "?" + m_query.text : "");
  if (rel[0] == '?') return origin + path + rel;
  return origin + path.substr(0, path.rfind('/') + 1) + rel;
}

}  // namespace KPub
