#include "UrlFile.h"

#include <arpa/inet.h>
#include <errno.h>
#include <stdlib.h>

#include <fstream>

namespace dispatcher_sim {

const char kDefaultDataType[] = "html";

namespace {

typedef spider::UrlInfoItem Item;

bool ToInt(const std::string& text, int32_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > static_cast<long>(UINT32_MAX)) {
    return false;
  }
  out = static_cast<int32_t>(v);
  return true;
}

// Dotted IPv4 (kept in network byte order, as the crawler expects) or a
// plain number such as 0 or -1.
bool ToIp(const std::string& text, int32_t& out) {
  in_addr addr;
  if (inet_pton(AF_INET, text.c_str(), &addr) == 1) {
    out = static_cast<int32_t>(addr.s_addr);
    return true;
  }
  return ToInt(text, out);
}

bool ToBool(const std::string& text, bool& out) {
  if (text == "1" || text == "true") return out = true, true;
  if (text == "0" || text == "false") return out = false, true;
  return false;
}

struct FieldSetter {
  const char* name;
  bool (*set)(Item& item, const std::string& value);
};

#define SIM_STRING_FIELD(f)                                            \
  {                                                                    \
#f, [](Item& i, const std::string& v) { i.__set_##f(v); return true; } \
  }
#define SIM_INT_FIELD(f, conv)                                                        \
  {                                                                                   \
#f, [](Item& i, const std::string& v) {                                             \
      int32_t n = 0;                                                                    \
      return conv(v, n) ? (i.__set_##f(n), true) : false;                               \
    } \
  }
#define SIM_BOOL_FIELD(f)                                                             \
  {                                                                                   \
#f, [](Item& i, const std::string& v) {                                             \
      bool b = false;                                                                   \
      return ToBool(v, b) ? (i.__set_##f(b), true) : false;                             \
    } \
  }

const FieldSetter kFields[] = {
    SIM_INT_FIELD(priority, ToInt),
    SIM_STRING_FIELD(data_type),
    SIM_INT_FIELD(ip, ToIp),
    SIM_STRING_FIELD(user_agent),
    SIM_STRING_FIELD(referer),
    SIM_STRING_FIELD(cookie),
    SIM_STRING_FIELD(postdata),
    SIM_INT_FIELD(res_flag, ToInt),
    SIM_STRING_FIELD(proxy_addr),
    SIM_INT_FIELD(proxy_type, ToInt),
    SIM_STRING_FIELD(data_category),
    SIM_STRING_FIELD(log_category),
    SIM_INT_FIELD(expire_time, ToInt),
    SIM_STRING_FIELD(opt),
    SIM_INT_FIELD(dispatcher1_in_tm, ToInt),
    SIM_INT_FIELD(dispatcher1_out_tm, ToInt),
    SIM_INT_FIELD(dispatcher2_in_tm, ToInt),
    SIM_INT_FIELD(dispatcher2_out_tm, ToInt),
    SIM_STRING_FIELD(uuid),
    SIM_STRING_FIELD(dispatcher1_ip),
    SIM_STRING_FIELD(proxy_name),
    SIM_BOOL_FIELD(robots_nomatch),
    SIM_BOOL_FIELD(need_delete),
    SIM_BOOL_FIELD(ip_no_replace),
};

bool SetField(Item& item, const std::string& field, std::string& error) {
  size_t eq = field.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "field '" + field + "' is not name=value";
    return false;
  }
  const std::string name = field.substr(0, eq);
  for (const FieldSetter& f : kFields) {
    if (name != f.name) continue;
    if (f.set(item, field.substr(eq + 1))) return true;
    error = "bad value in '" + field + "'";
    return false;
  }
  error = "unknown field '" + name + "'";
  return false;
}

}  // namespace

bool ParseUrlLine(const std::string& line, Item& item, std::string& error) {
  item = Item();
  item.data_type = kDefaultDataType;
  size_t tab = line.find('\t');
  item.url = line.substr(0, tab);
  if (item.url.empty()) {
    error = "empty URL";
    return false;
  }
  while (tab != std::string::npos) {
    size_t next = line.find('\t', tab + 1);
    std::string field = line.substr(tab + 1, next == std::string::npos ? next : next - tab - 1);
    if (!field.empty() && !SetField(item, field, error)) return false;
    tab = next;
  }
  return true;
}

bool LoadUrlFile(const std::string& path, std::vector<Item>& items, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot open URL file";
    return false;
  }
  std::string line;
  for (int no = 1; std::getline(in, line); ++no) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Item item;
    std::string reason;
    if (!ParseUrlLine(line, item, reason)) {
      error = path + ":" + std::to_string(no) + ": " + reason;
      return false;
    }
    items.push_back(item);
  }
  return true;
}

}  // namespace dispatcher_sim
