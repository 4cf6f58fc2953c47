// The thread's compiled patterns over headers and markup.
#include <new>

#include "DownLoadThread.h"
#include "kpub/klog.h"

namespace {

struct PatternSpec {
  pcrecpp::RE* DownLoadThread::*field;
  const char* pattern;
};

}  // namespace

bool DownLoadThread::InitRegExp() {
  const PatternSpec specs[] = {
      {&DownLoadThread::m_pMatchMeta,
       R"RE(<meta\s*http-equiv=["\']{0,1}Refresh["\']{0,1}\s*content=["\']{0,1}([\d\.]+)(?:\s*;\s*url\s*=\s*["']?([^>"\' ]+)|))RE"},
      {&DownLoadThread::m_pMatchLocation, R"RE(Location:\s*(.*))RE"},
      {&DownLoadThread::m_pMatchHeaderContent_Type, R"RE(Content-type:\s*(.*))RE"},
      {&DownLoadThread::m_pMatchHeaderCharSet, R"RE(charset\s*=\s*["']?([\w\d\-\_\.]+)["']?)RE"},
      {&DownLoadThread::m_pMatchHeaderETag, R"RE(ETag:\s*(.*))RE"},
      {&DownLoadThread::m_pMatchHeaderLast_Modified, R"RE(Last-Modified:\s*(.*))RE"},
      {&DownLoadThread::m_pMatchContentCharSet1,
       R"RE(content\s*=\s*["\']{0,1}text\/\w+["\']{0,1}[;]{0,1}\s*charset\s*=\s*["\']{0,1}([\w\d\-\_\.]+)["\']{0,1})RE"},
      {&DownLoadThread::m_pMatchContentCharSet2,
       R"RE(http-equiv\s*=\s*["\']{0,1}Content-Language["\']{0,1}\s*content\s*=\s*["\']{0,1}([\w\d\-\_\.]+)["\']{0,1})RE"},
      {&DownLoadThread::m_pMatchContentCharSet3,
       R"RE(<\?xml[^>]+encoding\s*=\s*["']?([\w\d\-\_\.]+)["']?[^>]*>)RE"},
      {&DownLoadThread::m_pMatchBaseHref, R"RE(<base href=["']?\s*([^"'>]+)\s*["']?[^>]*>)RE"},
  };
  pcrecpp::RE_Options first;
  first.set_caseless(true).set_multiline(true).set_dotall(true);
  pcrecpp::RE_Options others;
  others.set_caseless(true);
  // Patterns already compiled stay in their fields for FreeRegExp.
  bool ok = true;
  try {
    for (const PatternSpec& spec : specs) {
      pcrecpp::RE*& re = this->*spec.field;
      re = new pcrecpp::RE(spec.pattern,
                           spec.field == &DownLoadThread::m_pMatchMeta ? first : others);
      if (!re->error().empty()) {
        ok = false;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) KLOG("search.download", KPub::ERROR, "new pcrecpp failed.");
  return ok;
}

void DownLoadThread::FreeRegExp() {
  pcrecpp::RE* DownLoadThread::*const fields[] = {
      &DownLoadThread::m_pMatchMeta,
      &DownLoadThread::m_pMatchLocation,
      &DownLoadThread::m_pMatchHeaderContent_Type,
      &DownLoadThread::m_pMatchHeaderCharSet,
      &DownLoadThread::m_pMatchHeaderETag,
      &DownLoadThread::m_pMatchHeaderLast_Modified,
      &DownLoadThread::m_pMatchContentCharSet1,
      &DownLoadThread::m_pMatchContentCharSet2,
      &DownLoadThread::m_pMatchContentCharSet3,
      &DownLoadThread::m_pMatchBaseHref,
  };
  for (pcrecpp::RE* DownLoadThread::*field : fields) {
    delete (this->*field);
    this->*field = nullptr;
  }
}
