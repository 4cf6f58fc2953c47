// URL normaliser: parses a URL into its parts, checks the host and rebuilds the URL in one
// canonical form (lower-case scheme and host, no port 80, dot segments resolved, escapes
// re-encoded in upper case, session parameters and the fragment dropped). An object belongs to
// one thread; the shared tables behind all objects are built once and then only read.
#ifndef KPUB_KURL_H_
#define KPUB_KURL_H_

#include <string>

namespace KPub {

// getErrorCode() values; 0 is a valid URL.
enum KURL_ERROR {
  KURL_OK = 0,
  KURL_NO_URL = 10001,       // no URL set
  KURL_BAD_LENGTH = 10002,   // URL empty or too long, or the normalised result too long
  KURL_NO_HOST = 10003,      // no host part found
  KURL_BAD_HOST = 10004,     // empty label, bad numeric host, unknown top-level label
  KURL_ONE_LABEL = 10005,    // host of one label
  KURL_LONG_LABEL = 10006,   // a label of 64 characters or more
  KURL_MANY_LABELS = 10007,  // 32 labels or more
  KURL_LONG_SCHEMA = 10009,  // the limits below apply in memory mode 0
  KURL_LONG_USER = 10010,
  KURL_LONG_PASSWD = 10011,
  KURL_LONG_HOST = 10012,
  KURL_LONG_PATH = 10013,
  KURL_LONG_QUERY = 10014,
  KURL_BAD_PORT = 10015,  // port not all digits, zero, or above 65535
};

// Types: KURL_TYPE_PARTS keeps the parts for the getters and normalize; any other type only
// validates (setUrl's code), and the getters and normalize return null.
constexpr int KURL_TYPE_PARTS = 1;
// Memory modes: fixed part buffers with the part limits, URLs below 2048 characters and results
// below 2048; or parts sized to fit, URLs up to 4095 characters.
constexpr int KURL_MEM_FIXED = 0;
constexpr int KURL_MEM_ALLOC = 1;
// Slots of getFields.
enum KURL_FIELD {
  KURL_F_SCHEMA,
  KURL_F_USER,
  KURL_F_PASSWD,
  KURL_F_HOST,
  KURL_F_PATH,
  KURL_F_QUERY,
  KURL_F_FRAGMENT,
  KURL_FIELD_COUNT
};

class kurl {
 public:
  // filter and root are null-terminated name lists, or null for the built-in ones (see
  // setFilter, setRootDNS). The caller deletes the object.
  static kurl* create(const char* url, int type, int memMode, const char** filter = nullptr,
                      const char** root = nullptr);
  static kurl* create(int type, int memMode);

  virtual ~kurl() {}
  // Parses and checks url; returns the error code, also kept for getErrorCode().
  virtual int setUrl(const char* url) = 0;
  virtual int setUrl(const std::string& url) = 0;
  virtual void setType(int type) = 0;
  // Session parameters dropped from queries (whole names, any case); null restores
  // "phpsessid", "sessionid", "session-id", "session_id". Takes effect on the next normalize.
  virtual void setFilter(const char** list) = 0;
  // Suffix labels used instead of the built-in generic and country lists; null restores those.
  // Takes effect on the next setUrl.
  virtual void setRootDNS(const char** list) = 0;
  // 0 lets getDomainName return a one-label host; default 1.
  virtual void setStrictFlag(int flag) = 0;

  // Canonical form of the current URL, null when it has an error. flag true also decodes and
  // re-encodes path segments (queries are always re-encoded). The text belongs to the object
  // and is valid until its next call.
  virtual const char* normalize(bool flag) = 0;
  // The same after setting url, when it differs from the current URL.
  virtual const char* normalize(const char* url, bool flag) = 0;
  virtual const char* normalize(const std::string& url, bool flag) = 0;
  // Canonical form of rel resolved against base (base becomes the current URL first).
  virtual const char* makeabsurl(const char* base, const char* rel, bool flag) = 0;
  virtual const char* makeabsurl(const std::string& base, const std::string& rel, bool flag) = 0;

  // The URL's port, 0 when it names none.
  virtual int getPort() = 0;
  virtual int getErrorCode() = 0;
  // Fills fields[KURL_FIELD_COUNT] with the parts (null where absent); returns the error code.
  virtual int getFields(const char** fields) = 0;
  // Host in lower case, trailing dot dropped.
  virtual const char* getHostname() = 0;
  // The registrable domain (level 0), or the name `level` labels further left, in lower case;
  // `encoded` escapes bytes above 0x7F as "%XX". Null on error or when the host has too few
  // labels, except that a one-label host is returned when the strict flag is 0.
  virtual const char* getDomainName(int level, bool encoded) = 0;
  // Scheme in lower case; the other parts as given. Null when absent.
  virtual const char* getSchema() = 0;
  virtual const char* getUsername() = 0;
  virtual const char* getPassword() = 0;
  // Path, followed by "?" and the query when there is one.
  virtual const char* getQueryPath() = 0;
  virtual const char* getQuery() = 0;
  virtual const char* getFragment() = 0;
};

}  // namespace KPub

#endif  // KPUB_KURL_H_
