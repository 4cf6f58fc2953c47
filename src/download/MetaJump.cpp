// Meta refreshes and script jumps: where a page sends its reader next, and
// the next request on the same handle.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Bool.h"
#include "DownLoadThread.h"
#include "FollowUp.h"
#include "kpub/klog.h"
#include "kpub/kstring.h"
#include "url_util.h"

namespace {

const char kLogger[] = "search.download";
constexpr long kMaxJumpHops = 2;
constexpr int kMillisPerSecond = 1000;

const char reScriptLocation[] =
    R"RE(<\s*script[^>]*>.*self.location\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char reScriptLocation1[] =
    R"RE(<\s*script language="javascript">[^\{\(]*location\s*=\s*["']?([^\s"'>]+)["']?;[^\}\)]*<\s*/script>)RE";
const char reScriptLocation2[] =
    R"RE(<\s*script[^>]*>.*self.location.href\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char reScriptLocationRef[] =
    R"RE(<\s*script[^>]*>\s*location.href\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char reScriptLocationRef1[] =
    R"RE(<\s*body\s*onLoad\s*=\s*["']?location.href\s*=\s*["']?([^\s"'>]+)["']?["']?\s*>)RE";
const char reScriptWindowsLocationRef[] =
    R"RE(<\s*script[^>]*>\s*window.location.href\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char reScriptWindowsLocationRef1[] =
    R"RE(<\s*script[^>]*>\s*window.location\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char reScriptWindowsOnloadRef[] =
    R"RE(<\s*script[^>]*>\s*window.onload\s*=\s*function\(\)\{\s*window.location\s*=\s*["']?([^\s"'>]+)["']?;\s*\}\s*<\s*/script>)RE";
const char reScriptDocumentLocationRef[] =
    R"RE(<\s*script[^>]*>\s*document.location.href\s*=\s*\(?["']?([^\s"'>]+)["']?\)?.*<\s*/script>)RE";
const char onLoadDocumentLocationRef[] =
    R"RE(<\s*body\s*onload\s*=\s*["']?document.location.href\s*=\s*\(?["']?([^\s"'>]+)["']?\)?)RE";
const char reScriptReLoad[] =
    R"RE(<\s*script[^>]*>.*{\s*document.location.reload\(\s*\);\s*}\s*setTimeout\("reload\(\s*\)",\s*(\d+)\s*\).*<\s*/script>)RE";

// In the order they are tried; the last one is the timed self-reload.
const char* const kScriptPatterns[] = {
    reScriptLocation,
    reScriptLocation1,
    reScriptLocation2,
    reScriptLocationRef,
    reScriptLocationRef1,
    reScriptWindowsLocationRef,
    reScriptWindowsLocationRef1,
    reScriptWindowsOnloadRef,
    reScriptDocumentLocationRef,
    onLoadDocumentLocationRef,
    reScriptReLoad,
};
constexpr size_t kScriptPatternCount = sizeof kScriptPatterns / sizeof kScriptPatterns[0];

const std::vector<std::unique_ptr<pcrecpp::RE>>& ScriptPatterns() {
  static const std::vector<std::unique_ptr<pcrecpp::RE>> compiled = [] {
    pcrecpp::RE_Options opts;
    opts.set_caseless(true).set_dotall(true);
    std::vector<std::unique_ptr<pcrecpp::RE>> out;
    for (const char* text : kScriptPatterns) out.emplace_back(new pcrecpp::RE(text, opts));
    return out;
  }();
  return compiled;
}

// Erases every open ... close block, each searched from the start.
void EraseBlocks(std::string& text, const char* open, const char* close) {
  const size_t closeLen = strlen(close);
  for (;;) {
    size_t from = text.find(open);
    if (from == std::string::npos) return;
    size_t to = text.find(close, from);
    if (to == std::string::npos) return;
    text.erase(from, to + closeLen - from);
  }
}

bool ContainsNoCase(const std::string& text, const char* needle) {
  return strcasestr(text.c_str(), needle) != nullptr;
}

// The integer part of a delay text; values beyond int saturate.
int DelaySeconds(const std::string& text) {
  long v = strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::min(v, static_cast<long>(INT_MAX)));
}

}  // namespace

std::string MetaScanText(const std::string& html) {
  std::string text = html.substr(0, kMetaScanBytes);
  EraseBlocks(text, "<!--[if", "<![endif]-->");
  EraseBlocks(text, "<noscript>", "</noscript>");
  return text;
}

bool HasTitle(const std::string& html) {
  return ContainsNoCase(html, "<title>") && !ContainsNoCase(html, "<title></title>");
}

bool FindScriptJump(const std::string& html, ScriptJump& jump) {
  const std::vector<std::unique_ptr<pcrecpp::RE>>& patterns = ScriptPatterns();
  for (size_t i = 0; i < kScriptPatternCount; ++i) {
    std::string captured;
    if (!patterns[i]->PartialMatch(html, &captured)) continue;
    jump.reload = i + 1 == kScriptPatternCount;
    jump.target = jump.reload ? std::string() : captured;
    jump.delayMillis = jump.reload ? DelaySeconds(captured) : 0;
    return true;
  }
  return false;
}

Bool DownLoadThread::ProcessMetaJump(void* pCurl, RetData* pData) {
  if (pCurl == nullptr || pData == nullptr || pData->m_pstUrlItem == nullptr) return False;
  if (pData->m_lRedirectCount > kMaxJumpHops) return Nul;
  std::string delay;
  std::string target;
  if (m_pMatchMeta->PartialMatch(MetaScanText(pData->m_strOriginHtml), &delay, &target)) {
    return FollowMetaRefresh(pCurl, pData, DelaySeconds(delay), target);
  }
  tagURL_PARSE last;
  parse_url(pData->m_pszLastUrl, last);
  bool home = IsHomePage(last.m_query, last.m_path);
  if (pData->m_iCurLen > m_iIgnoreMetaJump) {
    if (home && !HasTitle(pData->m_strOriginHtml)) pData->m_bNeedJsFlag = true;
    return Nul;
  }
  if (home) {
    pData->m_bNeedJsFlag = true;
    return Nul;
  }
  return FollowScriptJump(pCurl, pData);
}

Bool DownLoadThread::FollowMetaRefresh(void* pCurl, RetData* pData, int delay, std::string target) {
  if (delay > m_iMetaJumpMaxSecond) return Nul;
  KPub::trim(target);
  if (target.empty()) {
    target = pData->m_pszLastUrl;
  } else {
    make_abs_url(pData->m_pszLastUrl, target);
  }
  if (!IsHttpUrl(target)) {
    KLOG(kLogger, KPub::ERROR, "url=[%s], meta-jump=[%s]", pData->m_pstUrlItem->m_strUrl.c_str(),
         target.c_str());
    return Nul;
  }
  int nap = std::min(delay, kMaxJumpSleepSeconds);
  if (nap > 0) sleep(static_cast<unsigned>(nap));
  KLOG(kLogger, KPub::DEBUG, "download meta-jump. url=[%s], dst-url=[%s], sleep-second=[%d]",
       pData->m_pszLastUrl, target.c_str(), nap);
  return FollowJump(pCurl, pData, target);
}

Bool DownLoadThread::FollowScriptJump(void* pCurl, RetData* pData) {
  ScriptJump jump;
  if (!FindScriptJump(pData->m_strOriginHtml, jump)) return Nul;
  std::string target = jump.target;
  if (jump.reload) {
    target = pData->m_pszLastUrl;
    int nap = std::min(jump.delayMillis / kMillisPerSecond, kMaxJumpSleepSeconds);
    if (nap > 0) sleep(static_cast<unsigned>(nap));
  } else {
    const char* url = pData->m_pstUrlItem->m_strUrl.c_str();
    KPub::trim(target);
    if (target.empty()) {
      KLOG(kLogger, KPub::ERROR, "script-jump url is null, url=[%s]", url);
      return Nul;
    }
    make_abs_url(pData->m_pszLastUrl, target);
    if (!IsHttpUrl(target)) {
      KLOG(kLogger, KPub::ERROR, "url=[%s], script-jump=[%s], html=[%s]", url, target.c_str(),
           pData->m_strOriginHtml.c_str());
      return Nul;
    }
  }
  KLOG(kLogger, KPub::DEBUG, "download script-jump. url=[%s], dst-url=[%s]", pData->m_pszLastUrl,
       target.c_str());
  return FollowJump(pCurl, pData, target);
}

// A jump keeps the cookies and proxy of the request that found it.
Bool DownLoadThread::FollowJump(void* pCurl, RetData* pData, const std::string& target) {
  char url[kUrlBufferSize];
  strlcpy(url, target.c_str(), sizeof url);
  if (strcmp(url, pData->m_pszLastUrl) == 0) pData->m_bMetaJumpSameUrl = true;
  tagURL_PARSE next;
  tagURL_PARSE last;
  parse_url(url, next);
  parse_url(pData->m_pszLastUrl, last);
  if (next.m_hostname.empty()) {
    KLOG(kLogger, KPub::DEBUG, "download script-jump error. url=[%s], dst-url=[%s]",
         pData->m_pszLastUrl, url);
    return Nul;
  }
  if (next.m_hostname != last.m_hostname) {
    int ip = FollowUpAddress(next.m_hostname, pData->m_iLastIP);
    if (ip == 0) return Nul;
    pData->m_iLastIP = ip;
  }
  if (!InitDownloadOpt(pCurl, url, pData->m_iLastIP, false, nullptr)) {
    KLOG(kLogger, KPub::INFO, "seturl fail. url=[%s]", url);
    return Nul;
  }
  ++pData->m_lRedirectCount;
  strlcpy(pData->m_pszLastUrl, url, kUrlBufferSize);
  return True;
}
