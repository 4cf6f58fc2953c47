// TCP connection set-up for the service clients, and the IPv4 look-up they
// share. Stateless; safe from any thread (the look-up is reentrant).
#ifndef SINAN_CONNECT_H_
#define SINAN_CONNECT_H_

#include <netinet/in.h>
#include <sys/time.h>

namespace SINAN {

// Dotted IPv4 text is taken as is; anything else is resolved and its first
// IPv4 address taken. False when there is none.
bool LookupIPv4(const char* host, in_addr* addr);

// A blocking socket connected to host:port within `timeout`, with
// TCP_NODELAY and `timeout` as send and receive time-out; -1 on failure.
int Connect(const char* host, int port, timeval& timeout);

}  // namespace SINAN

#endif  // SINAN_CONNECT_H_
