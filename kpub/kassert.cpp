#include "kpub/kassert.h"

#include <stdio.h>
#include <stdlib.h>

namespace KPub {

void AssertFail(const char* expr, const char* file, int line) {
  fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", file, line, expr);
  abort();
}

}  // namespace KPub
