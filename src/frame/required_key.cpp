#include "required_key.h"

#include "kpub/klog.h"

const char* ReadRequired(const INIFile& ini, const char* sect, const char* key) {
  const char* v = ini.read(sect, key);
  if (v == nullptr) {
    KLOG_THROW("search.download", KPub::ERROR, "please set [%s] %s in config file", sect, key);
  }
  return v;
}
