#include "swfstrings/SimpleException.h"

#include <cstdio>

SimpleException::SimpleException(const char* file, int line, const char* function, int retcode)
    : m_iRetcode(retcode) {
  char buf[512];
  snprintf(buf, sizeof(buf), "%s:%d, %s, retcode:%d", file, line, function, retcode);
  m_strText = buf;
}
