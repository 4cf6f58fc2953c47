#include "EasyCallbacks.h"

#include <fcntl.h>
#include <pcrecpp.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>

#include <string>

#include "DownLoadThread.h"
#include "RetData.h"

namespace {

constexpr long kSuccessLow = 200;
constexpr long kSuccessHigh = 299;
const char kContentType[] = "content-type:";
// A 2xx response is kept only when its type names one of these.
const char* const kPageTypes[] = {"text", "html", "json", "xml", "javascript"};

// Case-insensitive search of a NUL-free needle in len bytes of hay.
bool ContainsNoCase(const char* hay, size_t len, const char* needle) {
  size_t n = strlen(needle);
  for (size_t i = 0; i + n <= len; ++i) {
    if (strncasecmp(hay + i, needle, n) == 0) return true;
  }
  return false;
}

// Status of the first status line received, 0 when there is none.
int FirstStatus(const std::string& header) {
  static const pcrecpp::RE status("HTTP\\/\\d\\.\\d\\s*(\\d+)",
                                  pcrecpp::RE_Options().set_caseless(true));
  std::string code;
  if (!status.PartialMatch(header, &code)) return 0;
  return atoi(code.c_str());
}

bool IsPageType(const char* line, size_t len) {
  for (const char* type : kPageTypes) {
    if (ContainsNoCase(line, len, type)) return true;
  }
  return false;
}

}  // namespace

size_t curl_write_header(char* ptr, size_t size, size_t nmemb, char* stream) {
  RetData* data = reinterpret_cast<RetData*>(stream);
  size_t len = size * nmemb;
  data->m_strHeader.append(ptr, len);
  data->m_iCurHeaderLen += static_cast<int>(len);
  if (g_iDownLoadResFlag != 0 || data->m_iRobotsFlag || !ContainsNoCase(ptr, len, kContentType)) {
    return len;
  }
  int code = FirstStatus(data->m_strHeader);
  if (code == 0) return len;
  if (data->m_iSpecailFlag == 0 && code >= kSuccessLow && code <= kSuccessHigh &&
      !IsPageType(ptr, len)) {
    data->m_iCurHeaderLen = 0;
    return 0;
  }
  return len;
}

size_t curl_write(char* ptr, size_t size, size_t nmemb, char* stream) {
  RetData* data = reinterpret_cast<RetData*>(stream);
  size_t len = size * nmemb;
  data->m_strHtml.append(ptr, len);
  data->m_iCurLen += static_cast<int>(len);
  if (data->m_iCurLen > g_iDownLoadMaxLength) {
    data->m_iCutHtmlFlag = true;
    return 0;
  }
  return len;
}

int sockopt_callback(void* clientp, curl_socket_t curlfd, curlsocktype) {
  int* reuse = static_cast<int*>(clientp);
  if (setsockopt(curlfd, SOL_SOCKET, SO_REUSEADDR, reuse, sizeof *reuse) != 0) return 1;
  int flags = fcntl(curlfd, F_GETFL, 0);
  if (flags < 0 || fcntl(curlfd, F_SETFL, flags | O_NONBLOCK) < 0) return 1;
  return 0;
}
