// Reading a configuration key that start-up cannot do without.
#ifndef CRAWLER_REQUIRED_KEY_H_
#define CRAWLER_REQUIRED_KEY_H_

#include "INIFile.h"

// The value of `key` in `sect`. When missing, logs "please set [%s] %s in
// config file" on "search.download" at ERROR and throws std::runtime_error.
const char* ReadRequired(const INIFile& ini, const char* sect, const char* key);

#endif  // CRAWLER_REQUIRED_KEY_H_
