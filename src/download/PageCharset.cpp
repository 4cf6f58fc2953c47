// Charset judgement of a completed response: the Content-Type header first,
// then declarations near the start of the body, then byte statistics.
#include <string.h>
#include <strings.h>

#include <algorithm>

#include "DownLoadThread.h"
#include "kpub/encdetect.h"
#include "kpub/kstring.h"

namespace {

// Declarations are looked for only this far into the body.
constexpr size_t kDeclarationWindow = 204800;

// Declared names read as GB18030 when they begin with one of these.
const char* const kGbPrefixes[] = {"gb2312", "gbk", "zh-cn", "gb_2312", "gb-2312", "bg2312"};

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  return strncasecmp(s.c_str(), prefix, strlen(prefix)) == 0;
}

bool IsGbName(const std::string& name) {
  for (const char* prefix : kGbPrefixes) {
    if (StartsWithNoCase(name, prefix)) return true;
  }
  return name.find("18030") != std::string::npos;
}

void DetectCharSet(RetData* pData) {
  switch (KPub::detect_encoding(pData->m_strHtml)) {
    case KPub::ASCII:
    case KPub::GBK:
      pData->m_str_o_charset = "GB18030";
      pData->m_chCharSetType = CHARSET_AUTO_OK;
      break;
    case KPub::BIG5:
      pData->m_str_o_charset = "BIG5";
      pData->m_chCharSetType = CHARSET_AUTO_OK;
      break;
    case KPub::UTF8:
      pData->m_str_o_charset = "UTF-8";
      pData->m_chCharSetType = CHARSET_AUTO_OK;
      break;
    default:
      pData->m_str_o_charset = "GB18030";
      pData->m_chCharSetType = CHARSET_AUTO_UNKONW;
      break;
  }
}

}  // namespace

std::string DownLoadThread::getConvCharset(const std::string& charset, bool& needdetect) {
  static const std::string kUtf8("UTF-8");
  static const std::string kBig5("BIG5");
  static const std::string kGb18030("GB18030");
  needdetect = false;
  if (strcasestr(charset.c_str(), "UTF") != nullptr) return kUtf8;
  if (StartsWithNoCase(charset, "BIG")) return kBig5;
  if (IsGbName(charset)) return kGb18030;
  needdetect = true;
  return charset;
}

void DownLoadThread::JudgePageCharSet(RetData* pData) {
  if (pData == nullptr) return;
  pData->m_strHeaderContent_Type.clear();
  pData->m_str_o_charset.clear();
  pData->m_chCharSetType = CHARSET_AUTO_UNKONW;

  if (m_pMatchHeaderContent_Type->PartialMatch(pData->m_strHeader,
                                               &pData->m_strHeaderContent_Type)) {
    KPub::trim(pData->m_strHeaderContent_Type);
    if (m_pMatchHeaderCharSet->PartialMatch(pData->m_strHeaderContent_Type,
                                            &pData->m_str_o_charset)) {
      pData->m_chCharSetType = CHARSET_HEADER;
    }
  }
  pData->m_isXml = pData->m_strHeaderContent_Type.find("xml") != std::string::npos;

  if (pData->m_chCharSetType != CHARSET_HEADER) FindDeclaredCharSet(pData);

  KPub::trim(pData->m_str_o_charset);
  bool needdetect = true;
  if (!pData->m_str_o_charset.empty()) {
    pData->m_str_o_charset = getConvCharset(pData->m_str_o_charset, needdetect);
  }
  if (needdetect) DetectCharSet(pData);
}

void DownLoadThread::FindDeclaredCharSet(RetData* pData) {
  const std::string& html = pData->m_strHtml;
  const pcrecpp::StringPiece head(html.data(),
                                  static_cast<int>(std::min(html.size(), kDeclarationWindow)));
  std::string& name = pData->m_str_o_charset;
  bool found;
  if (pData->m_isXml) {
    found = m_pMatchContentCharSet3->PartialMatch(head, &name);
  } else {
    found = m_pMatchContentCharSet1->PartialMatch(head, &name) ||
            m_pMatchContentCharSet2->PartialMatch(head, &name);
    if (!found && m_pMatchContentCharSet3->PartialMatch(head, &name)) {
      found = true;
      pData->m_isXml = true;
    }
  }
  if (found) pData->m_chCharSetType = CHARSET_META;
}
