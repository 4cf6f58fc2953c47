#include "DownLoadThread.h"

namespace {

struct OptionalField {
  const char* label;
  std::string tagURL_ITEM::*field;
};

// Printed in this order, each only when not empty.
const OptionalField kOptionalFields[] = {
    {"\tcookie:", &tagURL_ITEM::m_strCookie},
    {"\tuuid:", &tagURL_ITEM::m_strUUid},
    {"\tproxy_addr:", &tagURL_ITEM::m_strProxy},
    {"\tproxy_name:", &tagURL_ITEM::m_strProxyName},
    {"\topt:", &tagURL_ITEM::m_strOpts},
    {"\tuser_agent:", &tagURL_ITEM::m_strUserAgent},
    {"\tdata_category:", &tagURL_ITEM::m_strDataCatogory},
    {"\tlog_category:", &tagURL_ITEM::m_strLogCatogory},
    {"\treferer:", &tagURL_ITEM::m_strReferer},
    {"\tpostdata:", &tagURL_ITEM::m_strPostFields},
};

}  // namespace

// One-byte fields print as signed numbers, so an unset flag (255) shows as -1.
std::string DownLoadThread::DumpUrl(const tagURL_ITEM* item) {
  if (item == nullptr) return std::string();
  std::string out =
      "url:" + item->m_strUrl + "\tdata_type:" + item->m_strDataType +
      "\tip:" + std::to_string(item->m_iIP) +
      "\tres_flag:" + std::to_string(static_cast<signed char>(item->m_chResFlag)) +
      "\tproxy_type:" + std::to_string(static_cast<signed char>(item->m_chProxyType)) +
      "\tdispatcher1_in_tm:" + std::to_string(item->m_iDp1InTime) +
      "\tdispatcher1_out_tm:" + std::to_string(item->m_iDp1OutTime);
  for (const OptionalField& f : kOptionalFields) {
    const std::string& value = item->*f.field;
    if (!value.empty()) out.append(f.label).append(value);
  }
  return out;
}
