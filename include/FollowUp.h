// Pieces of the completion decisions that do not need a download thread:
// the deployment values hosts are compared with, the address of a follow-up
// host, and the scans of a page for meta refreshes and script jumps.
// The settings are written once before the download threads run and only
// read afterwards; every function may be called from any thread.
#ifndef CRAWLER_FOLLOWUP_H_
#define CRAWLER_FOLLOWUP_H_

#include <string>

#include "RetData.h"

class INIFile;

// Redirects from a host containing g_strSearchEngineDomain to the host
// g_strSearchEngineVerifyHost are not followed ("search_engine_domain",
// "search_engine_verify_host" in [download]).
extern std::string g_strSearchEngineDomain;
extern std::string g_strSearchEngineVerifyHost;
// Host of the document-sharing site whose pages carry an SWF document
// ("doc_site_host"); its document service is "doc_service_base".
extern std::string g_strDocSiteHost;

// Reads the optional keys above from [download]; absent keys keep the
// defaults.
void ReadFollowUpSettings(INIFile& ini);

// A permanent move: flagged on the first response, followed even to a
// home page.
constexpr long kMovedPermanently = 301;

// The bytes of a page that meta refreshes are looked for in.
constexpr size_t kMetaScanBytes = 2048;
// Longest sleep before a meta refresh or timed reload is followed.
constexpr int kMaxJumpSleepSeconds = 3;

// True for a redirect into the search engine's verification host.
bool IsVerificationRedirect(const std::string& oldHost, const std::string& newHost);

// The address (network order) to use for a follow-up host: the IP cache,
// else a synchronous resolution that is stored in the cache. 0: none.
int FollowUpAddress(const std::string& host, int lastIp);

// Forgets the response just received: body, header, status, result code,
// lengths and durations.
void ClearResponse(RetData* pData);

// "http://" or "https://" at the start, any case.
bool IsHttpUrl(const std::string& url);

// The first kMetaScanBytes of a page with conditional comments and
// noscript blocks removed.
std::string MetaScanText(const std::string& html);

// Whether a page names a title: false when it has no "<title>" or an
// empty "<title></title>" (any case).
bool HasTitle(const std::string& html);

// A script jump found in a page: its target, or for a timed self-reload
// (reload true) the delay in milliseconds as written in the page.
struct ScriptJump {
  bool reload = false;
  std::string target;
  int delayMillis = 0;
};

// Tries the script-jump patterns in order; false when none matches.
bool FindScriptJump(const std::string& html, ScriptJump& jump);

// A document page of the document-sharing site: http, its host,
// /view/<letters or digits>.html and nothing after.
bool IsDocPageUrl(const std::string& url);

#endif  // CRAWLER_FOLLOWUP_H_
