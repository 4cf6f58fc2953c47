// Wire form of the resolver's DNS messages: the A query it sends and the
// parse of the answer. Answers are untrusted network bytes: the parser reads
// only inside [data, data + len). Pure functions, any thread.
#ifndef CRAWLER_DNSPACKET_H_
#define CRAWLER_DNSPACKET_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "iplist.h"

// Largest query or answer handled, in bytes.
constexpr int kDnsPacketMax = 2048;

// Writes the A query for `host` with ID `id` into buf (zeroed first).
// Returns its length, 18 + host length, or -1 when that exceeds cap.
int BuildDnsQuery(const std::string& host, uint16_t id, char* buf, int cap);

// Parses the answer to the query (id, host). False when it is not an answer
// to that question; true otherwise, with the public IPv4 addresses of its A
// records (at most kIpListMax) in the list and in str_ips ("a.b.c.d;" each),
// or the single address 0 ("0.0.0.0;") when it names none. Records cut off
// by the end of the datagram end the parse with what was kept before them.
bool ParseDnsAnswer(const unsigned char* data, size_t len, uint16_t id, const std::string& host,
                    tagIPLIST* pstIPList, std::string& str_ips);

#endif  // CRAWLER_DNSPACKET_H_
