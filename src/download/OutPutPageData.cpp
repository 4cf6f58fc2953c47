// Result records of a finished item: one record per data category on the
// scribe logger, then the audit and summary lines. Runs on the item's
// download thread, with that thread's conversion buffers.
#include <limits.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <ostream>
#include <string>
#include <vector>

#include "DownLoadThread.h"
#include "globals.h"
#include "htmlcharset/html_process.h"
#include "json_quote.h"
#include "kbase64.h"
#include "kcompress.h"
#include "kpub/codeconv.h"
#include "kpub/klog.h"
#include "kpub/kmd5.h"
#include "kpub/kstring.h"
#include "kpub/kurl.h"
#include "robots_parser.h"
#include "text_judge.h"
#include "url_util.h"

namespace {

// Logger names built once, not at every line.
const std::string& Logger() {
  static const std::string name("search.download");
  return name;
}

const std::string& AuditLogger() {
  static const std::string name("search.download.common.audit");
  return name;
}

const char kRobotsType[] = "robots";
const char kNoBodyType[] = "meta-search-nobody";
constexpr double kMicrosPerSecond = 1000000.0;

// The values a record is made of, in their final text where they are quoted.
enum Field {
  kNone,
  kCategory,
  kDataType,
  kErrNo,
  kPageSize,
  kCutFlag,
  kUrl,
  kDurl,
  kDlts,
  kDlTimeCost,
  kLastIp,
  kHttpCode,
  kContentType,
  kOpts,
  kContent,
  kReferer,
  kLastModified,
  kUuid,
  kPattern,
};

struct Piece {
  const char* literal;
  Field value;
};

const Piece kFormPage[] = {
    {"\toutput\tscribe\t", kCategory},
    {"\t{\"optype\": \"", kDataType},
    {"\",\"errno\": ", kErrNo},
    {", \"pagesize\": ", kPageSize},
    {", \"cuthtmlflag\": ", kCutFlag},
    {", \"url\": ", kUrl},
    {", \"durl\": ", kDurl},
    {", \"dlts\": ", kDlts},
    {", \"dltimecost\": ", kDlTimeCost},
    {", \"lastip\": ", kLastIp},
    {", \"httpcode\": ", kHttpCode},
    {", \"content_type\": ", kContentType},
    {", \"opts\": ", kOpts},
    {", \"value\": [{\"type\": \"99\", \"attrs\": {\"content\": \"", kContent},
    {"\"}}],\"referer\": ", kReferer},
    {", \"Last-Modified\": ", kLastModified},
    {", \"uuid\": ", kUuid},
    {"}", kNone},
};

// The other forms open with the first rows of the page form.
const Piece kFailTail[] = {
    {", \"uuid\": ", kUuid},
    {"}", kNone},
};

const Piece kRobotsTail[] = {
    {", \"url\": ", kUrl},
    {", \"durl\": ", kDurl},
    {", \"dlts\": ", kDlts},
    {", \"lastip\": ", kLastIp},
    {", \"httpcode\": ", kHttpCode},
    {", \"value\": [{\"type\": \"98\", \"attrs\": {\"content\": \"", kContent},
    {"\", \"pattern\": ", kPattern},
    {"}}], \"uuid\": ", kUuid},
    {"}", kNone},
};

const Piece kRobotsFailTail[] = {
    {", \"url\": ", kUrl},
    {", \"durl\": ", kDurl},
    {", \"dlts\": ", kDlts},
    {", \"lastip\": ", kLastIp},
    {", \"httpcode\": ", kHttpCode},
    {", \"value\": [{\"type\": \"98\", \"attrs\": {\"pattern\": ", kPattern},
    {"}}], \"uuid\": ", kUuid},
    {"}", kNone},
};

constexpr size_t kFailPageRows = 13;
constexpr size_t kRobotsPageRows = 4;

struct Form {
  size_t pageRows;
  const Piece* tail;
  size_t tailCount;
};

template <size_t N>
constexpr Form MakeForm(size_t pageRows, const Piece (&tail)[N]) {
  return Form{pageRows, tail, N};
}

// Everything the records and lines of one item share, computed once.
struct Facts {
  int iErrNo = 0;
  time_t now = 0;
  std::string durl;
  std::string curlUrl;
  std::string content;
  std::string opts;
  std::string etag;
  std::string lastModified;
  std::string pattern;
  double dlTimeCost = 0;
  std::vector<std::string> categories;
};

// The first test that holds decides the record's errno.
int RecordErrNo(const RetData& data) {
  if (data.m_iCurlRetCode == CURLE_WRITE_ERROR && data.m_iCurHeaderLen == 0) return -3;
  if (data.m_iRobotsBanUrlFlag) return -8;
  if (data.m_iJumpNoIpUrlFlag) return -9;
  if (data.m_bNeedJsFlag) return -10;
  if (data.m_iCurlRetCode == CURLE_WRITE_ERROR && data.m_iCutHtmlFlag) return 0;
  if (data.m_iCurlRetCode != 0) return -1;
  if (data.m_lHttpRetCode < 200 || data.m_lHttpRetCode > 299) return -1;
  return 0;
}

// The canonical form of the URL, or the text itself when it has none.
std::string NormalizedUrl(const char* text) {
  if (text == nullptr) return std::string();
  KPub::kurl* url = KPub::kurl::create(text, KPub::KURL_TYPE_PARTS, KPub::KURL_MEM_FIXED);
  const char* canonical = url != nullptr ? url->normalize(true) : nullptr;
  std::string result = canonical != nullptr && *canonical != '\0' ? canonical : text;
  delete url;
  return result;
}

std::string FirstCapture(const pcrecpp::RE* pattern, const std::string& text) {
  std::string value;
  if (pattern != nullptr && pattern->PartialMatch(text, &value)) KPub::trim(value);
  return value;
}

// UTF-16 pages leave as html_process text; every other page byte for byte.
void TransformPage(std::string& page, char* out, uint16_t* work) {
  if (page.empty() || !JudgeUnicode(page.c_str())) return;
  if (page.size() > static_cast<size_t>(INT_MAX)) return;
  out[0] = '\0';
  html_process(page.data(), static_cast<int>(page.size()), out, static_cast<int>(kDecodePageSize),
               work, static_cast<int>(kWideBufferUnits), HTML_OUTPUT_UTF8, nullptr, nullptr);
  page.assign(out, strnlen(out, kDecodePageSize));
}

bool HasHighByte(const std::string& text) {
  for (unsigned char c : text) {
    if (c > 127) return true;
  }
  return false;
}

void SettleContentType(RetData& data) {
  std::string& type = data.m_strHeaderContent_Type;
  if (type.empty()) type = "text/html";
  KPub::trim(type);
  if (!HasHighByte(type) || data.m_str_o_charset == "UTF-8") return;
  std::string converted;
  KPub::str_conv(data.m_str_o_charset.c_str(), "UTF-8//IGNORE", type, converted);
  type.swap(converted);
}

// Opts in UTF-8, with the digest of the response's entity tag appended; an
// ETag line without a value adds nothing, as there is no tag to digest.
std::string BuildOpts(const std::string& itemOpts, const std::string& etag) {
  std::string opts;
  KPub::str_conv("GBK", "UTF-8//IGNORE", itemOpts, opts);
  if (etag.empty()) return opts;
  if (!opts.empty()) opts += ";";
  return opts + "etag:" + KPub::Md5Hex(etag);
}

std::vector<std::string> Categories(const tagURL_ITEM& item) {
  const std::string& text =
      item.m_strDataCatogory.empty() ? g_strDataCatogory : item.m_strDataCatogory;
  std::vector<std::string> categories;
  if (text.find(';') == std::string::npos) {
    categories.push_back(text);
  } else {
    KPub::split(text, ";", categories);
  }
  return categories;
}

// Scheme and host of the robots.txt URL, with its port unless that is 80.
std::string RobotsSite(const std::string& url) {
  tagURL_PARSE parts;
  parse_url(url.c_str(), parts);
  std::string site = parts.m_scheme + "://" + parts.m_hostname;
  if (!parts.m_port.empty() && parts.m_port != "80") site += ":" + parts.m_port;
  return site;
}

std::string RobotsPattern(const std::string& url, int iErrNo, const char* spider,
                          const std::string& page) {
  std::string pattern = RobotsSite(url);
  if (iErrNo != 0) return pattern + "\t\t";
  std::string disallow;
  std::string allow;
  parse_robots(spider, page.data(), page.size(), disallow, allow);
  return pattern + "\t" + disallow + "\t" + allow;
}

// The quoted texts of one item, quoted once for all its records.
struct Quoted {
  Quoted(const RetData& data, const Facts& facts)
      : url(valueToQuotedString(data.m_pstUrlItem->m_strUrl.c_str())),
        durl(valueToQuotedString(facts.durl.c_str())),
        lastIp(valueToQuotedString(data.m_strIP.c_str())),
        contentType(valueToQuotedString(data.m_strHeaderContent_Type.c_str())),
        opts(valueToQuotedString(facts.opts.c_str())),
        referer(valueToQuotedString(data.m_pstUrlItem->m_strReferer.c_str())),
        lastModified(valueToQuotedString(facts.lastModified.c_str())),
        uuid(valueToQuotedString(data.m_pstUrlItem->m_strUUid.c_str())),
        pattern(valueToQuotedString(facts.pattern.c_str())) {}

  std::string url, durl, lastIp, contentType, opts, referer, lastModified, uuid, pattern;
};

void WriteValue(std::ostream& os, Field field, const RetData& data, const Facts& facts,
                const Quoted& quoted, const std::string& category) {
  switch (field) {
    case kNone:
      break;
    case kCategory:
      os << category;
      break;
    case kDataType:
      os << data.m_pstUrlItem->m_strDataType;
      break;
    case kErrNo:
      os << facts.iErrNo;
      break;
    case kPageSize:
      os << data.m_strOriginHtml.size();
      break;
    case kCutFlag:
      os << (data.m_iCutHtmlFlag ? 1 : 0);
      break;
    case kUrl:
      os << quoted.url;
      break;
    case kDurl:
      os << quoted.durl;
      break;
    case kDlts:
      os << data.m_pstUrlItem->m_iDownLoadTime;
      break;
    case kDlTimeCost:
      os << facts.dlTimeCost;
      break;
    case kLastIp:
      os << quoted.lastIp;
      break;
    case kHttpCode:
      os << data.m_lHttpRetCode;
      break;
    case kContentType:
      os << quoted.contentType;
      break;
    case kOpts:
      os << quoted.opts;
      break;
    case kContent:
      os << facts.content;
      break;
    case kReferer:
      os << quoted.referer;
      break;
    case kLastModified:
      os << quoted.lastModified;
      break;
    case kUuid:
      os << quoted.uuid;
      break;
    case kPattern:
      os << quoted.pattern;
      break;
  }
}

void WriteForm(std::ostream& os, Form form, const RetData& data, const Facts& facts,
               const Quoted& quoted, const std::string& category) {
  for (size_t i = 0; i < form.pageRows; ++i) {
    os << kFormPage[i].literal;
    WriteValue(os, kFormPage[i].value, data, facts, quoted, category);
  }
  for (size_t i = 0; i < form.tailCount; ++i) {
    os << form.tail[i].literal;
    WriteValue(os, form.tail[i].value, data, facts, quoted, category);
  }
}

// One record per non-empty category, each through a stream of its own so its
// length is not limited.
void WriteRecords(Form form, const RetData& data, const Facts& facts) {
  static const std::string kScribeLogger("search.download.scribe");
  const Quoted quoted(data, facts);
  for (const std::string& category : facts.categories) {
    if (category.empty()) continue;
    WriteForm(KLOG_STREAM(kScribeLogger, KPub::INFO), form, data, facts, quoted, category);
  }
}

}  // namespace

namespace {

// The two audit lines every item leaves, then the statistics line when a
// statistics category is configured.
void WriteAuditLines(const RetData& data, const Facts& facts, const std::string& date, int id) {
  const tagURL_ITEM& item = *data.m_pstUrlItem;
  const std::string key = KPub::Md5Hex(item.m_strUrl);
  const std::string& logCategory =
      item.m_strLogCatogory.empty() ? g_strLogCatogory : item.m_strLogCatogory;
  const char* type = item.m_strDataType.c_str();
  const char* url = item.m_strUrl.c_str();
  const char* referer = item.m_strReferer.c_str();
  const size_t len = data.m_strOriginHtml.size();
  const int moved = data.m_301Redi_flag ? 1 : 0;
  const int home = data.m_JumpHomePage_flag ? 1 : 0;
  KLOG(AuditLogger(), KPub::INFO,
       "\toutput\tscribe\t%s\t%s\tstage:download_%s\tkey:%s\terrno:%d\turl:%s\thttpcode:%ld"
       "\tlen:%zu\tdurl:%s\tspeed:%f\tETag:%s\tLast-Modified:%s\t301flag:%d"
       "\tJumpHomePageflag:%d\topts:%s\thost:%s\tcurlcode:%d\treferer:%s\tcurlUrl:%s"
       "\tconnectTime:%f\tdownloadTime:%f\ttotalProcessTime:%f\tdp1_in_time:%d"
       "\tdp1_out_time:%d\tdp2_in_time:%d\tdp2_out_time:%d\tcrawler_in_tm:%d"
       "\tcrawler_out_tm:%d\tuuid:%s\tid:%d\tlastip:%s",
       logCategory.c_str(), date.c_str(), type, key.c_str(), facts.iErrNo, url, data.m_lHttpRetCode,
       len, facts.durl.c_str(), data.m_dDownLoadTime, facts.etag.c_str(),
       facts.lastModified.c_str(), moved, home, facts.opts.c_str(), g_szHost, data.m_iCurlRetCode,
       referer, facts.curlUrl.c_str(), data.m_dConnectTime, data.m_dDownLoadTime, facts.dlTimeCost,
       item.m_iDp1InTime, item.m_iDp1OutTime, item.m_iDp2InTime, item.m_iDp2OutTime,
       item.m_iCreateTime, item.m_iDownLoadTime, item.m_strUUid.c_str(), id, data.m_strIP.c_str());
  KLOG(AuditLogger(), KPub::INFO,
       "\temit\t%s\tstage:download_%s\tkey:%s\terrno:%d\turl:%s\thttpcode:%ld\tlen:%zu"
       "\tdurl:%s\tspeed:%f\tETag:%s\tLast-Modified:%s\t301flag:%d\tJumpHomePageflag:%d"
       "\topts:%s\thost:%s\tcurlcode:%d\treferer:%s\tcurlUrl:%s\tconnectTime:%f"
       "\tdownloadTime:%f\ttotalProcessTime:%f\tdp1_in_time:%d\tdp1_out_time:%d"
       "\tdp2_in_time:%d\tdp2_out_time:%d\tcrawler_in_tm:%d\tcrawler_out_tm:%d\tuuid:%s"
       "\tid:%d\tmodule:crawler",
       date.c_str(), type, key.c_str(), facts.iErrNo, url, data.m_lHttpRetCode, len,
       facts.durl.c_str(), data.m_dDownLoadTime, facts.etag.c_str(), facts.lastModified.c_str(),
       moved, home, facts.opts.c_str(), g_szHost, data.m_iCurlRetCode, referer,
       facts.curlUrl.c_str(), data.m_dConnectTime, data.m_dDownLoadTime, facts.dlTimeCost,
       item.m_iDp1InTime, item.m_iDp1OutTime, item.m_iDp2InTime, item.m_iDp2OutTime,
       item.m_iCreateTime, item.m_iDownLoadTime, item.m_strUUid.c_str(), id);
  if (g_strStatCatogory.empty()) return;
  KLOG(AuditLogger(), KPub::INFO,
       "\toutput\tscribe\t%s\t%s NOTICE:  %s\tcrawler_put:%d\terrno:%d\treferer:%s",
       g_strStatCatogory.c_str(), date.c_str(), url, static_cast<int>(facts.now), facts.iErrNo,
       referer);
}

void WriteSummaryLine(const RetData& data, const Facts& facts, const std::string& date, int id) {
  const tagURL_ITEM& item = *data.m_pstUrlItem;
  KLOG(Logger(), KPub::INFO,
       "url=%s, datatype=%s, httpcode:%ld, curlcode:%d, set_ip:%d, download_ip:%d, "
       "interface_ip:%s connect_time=%f, download_time=%f, totalProcessTime=%f, "
       "dp1_in_time:%d, dp1_out_time:%d, dp2_in_time:%d, dp2_out_time:%d, crawler_in_tm:%d, "
       "crawler_out_tm:%d, uuid:%s, id:%d, date:%s",
       item.m_strUrl.c_str(), item.m_strDataType.c_str(), data.m_lHttpRetCode, data.m_iCurlRetCode,
       item.m_iIP1, item.m_iIP, data.m_strInterfaceIP.c_str(), data.m_dConnectTime,
       data.m_dDownLoadTime, facts.dlTimeCost, item.m_iDp1InTime, item.m_iDp1OutTime,
       item.m_iDp2InTime, item.m_iDp2OutTime, item.m_iCreateTime, item.m_iDownLoadTime,
       item.m_strUUid.c_str(), id, date.c_str());
}

bool IsRobots(const tagURL_ITEM& item) {
  return strcasecmp(item.m_strDataType.c_str(), kRobotsType) == 0;
}

// Which record form an item gets; null when it gets none.
const Form* ChooseForm(const tagURL_ITEM& item, int iErrNo) {
  static const Form kPage = {sizeof kFormPage / sizeof kFormPage[0], nullptr, 0};
  static const Form kFail = MakeForm(kFailPageRows, kFailTail);
  static const Form kRobots = MakeForm(kRobotsPageRows, kRobotsTail);
  static const Form kRobotsFail = MakeForm(kRobotsPageRows, kRobotsFailTail);
  if (IsRobots(item)) return iErrNo == 0 ? &kRobots : &kRobotsFail;
  if (iErrNo != 0) return &kFail;
  return item.m_strDataType == kNoBodyType ? nullptr : &kPage;
}

// POST items are told apart from GET items of the same URL by their fields.
std::string PostSuffix(const tagURL_ITEM& item) {
  if (item.m_strPostFields.empty()) return std::string();
  return "?" + item.m_strPostFields + "&method=post";
}

// Errno, both URLs, the POST rewrite of the item and the page's content.
void PreparePage(RetData& data, Facts& facts, char* out, uint16_t* work) {
  tagURL_ITEM& item = *data.m_pstUrlItem;
  facts.iErrNo = RecordErrNo(data);
  if (facts.iErrNo == -3) data.m_strOriginHtml.clear();
  const std::string suffix = PostSuffix(item);
  facts.durl = NormalizedUrl(data.m_pszOutPutUrl) + suffix;
  facts.curlUrl = NormalizedUrl(data.m_pszNewUrl);
  item.m_strUrl += suffix;
  TransformPage(data.m_strOriginHtml, out, work);
  // Compressed and encoded once, whatever the number of categories.
  if (!data.m_strOriginHtml.empty())
    facts.content = kbase64_encode(kcompress(data.m_strOriginHtml));
}

void PrepareFacts(RetData& data, Facts& facts, const pcrecpp::RE* etag,
                  const pcrecpp::RE* lastModified) {
  tagURL_ITEM& item = *data.m_pstUrlItem;
  SettleContentType(data);
  item.m_iDownLoadTime = static_cast<int>(facts.now);
  facts.etag = FirstCapture(etag, data.m_strHeader);
  facts.lastModified = FirstCapture(lastModified, data.m_strHeader);
  facts.opts = BuildOpts(item.m_strOpts, facts.etag);
  // Differences as doubles: an end time never taken must not wrap around.
  facts.dlTimeCost = (static_cast<double>(data.m_lDownLoadEndTime) -
                      static_cast<double>(data.m_lDownLoadStartTime)) /
                     kMicrosPerSecond;
  facts.categories = Categories(item);
}

}  // namespace

bool DownLoadThread::OutPutPageData(RetData* pData) {
  if (pData == nullptr || pData->m_pstUrlItem == nullptr) return false;
  if (g_bStopWriteOutPut) {
    KLOG(Logger(), KPub::INFO, "url=[%s] will be discard.", pData->m_pstUrlItem->m_strUrl.c_str());
    return true;
  }
  return OutPutCommonData(pData);
}

bool DownLoadThread::OutPutCommonData(RetData* pData) {
  // A record without its item has nothing to describe.
  if (pData == nullptr || pData->m_pstUrlItem == nullptr) return false;
  const tagURL_ITEM& item = *pData->m_pstUrlItem;
  Facts facts;
  facts.now = time(nullptr);
  PreparePage(*pData, facts, m_pszDecodePage, m_wcs);
  PrepareFacts(*pData, facts, m_pMatchHeaderETag, m_pMatchHeaderLast_Modified);
  if (IsRobots(item)) {
    if (strcasestr(pData->m_strHeaderContent_Type.c_str(), "html") != nullptr) facts.iErrNo = -1;
    facts.pattern =
        RobotsPattern(item.m_strUrl, facts.iErrNo, m_szSpiderName, pData->m_strOriginHtml);
  }
  const Form* form = ChooseForm(item, facts.iErrNo);
  if (form != nullptr) WriteRecords(*form, *pData, facts);
  const std::string date = KPub::LocalTimeText(facts.now);
  WriteAuditLines(*pData, facts, date, m_id);
  WriteSummaryLine(*pData, facts, date, m_id);
  return true;
}
