// Pages of the document-sharing site's viewer: the URL of a page's SWF
// document, and the viewer page with the document's text inserted. Safe to
// call from several threads at once (patterns are compiled once under the
// static-initialisation lock; SWF state is per thread).
#ifndef SWFSTRINGS_SWFCOMPOSE_H
#define SWFSTRINGS_SWFCOMPOSE_H

#include <string>

// Deployment setting: the document service URL the document id is appended
// to ("http://" host "/play").
void SetBaiduDocServiceBase(const std::string& base);
std::string BaiduDocServiceBase();

// 1 and the document service URL for pages (first page, pageCount pages)
// when the viewer page names a document id, else 0.
int ExtractSwfDownloadUrlFromBaidu(const std::string& page, std::string& url, int pageCount);

// Inserts the text of content (SWF files or plain text) into page; returns a
// SwfResultCode, page untouched unless the result is kSwfOk.
int ComposePageWithSwfFromBaidu(const std::string& content, std::string& page);

#endif
