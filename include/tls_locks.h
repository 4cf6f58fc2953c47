// Lock callbacks the TLS library asks for when several threads use it.
// Call once, before any download thread exists.
#ifndef CRAWLER_TLS_LOCKS_H_
#define CRAWLER_TLS_LOCKS_H_

void init_locks();

#endif  // CRAWLER_TLS_LOCKS_H_
