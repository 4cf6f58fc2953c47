// libcurl callbacks installed on every easy handle of a download thread:
// header capture with content-type screening, body capture with the byte cap,
// and the socket options. They run on the thread driving the handle and touch
// only the handle's RetData and read-only globals. Header and body bytes come
// from the network: they are taken with their lengths, never as C strings.
#ifndef CRAWLER_EASYCALLBACKS_H_
#define CRAWLER_EASYCALLBACKS_H_

#include <curl/curl.h>
#include <stddef.h>

// Returns the line length to go on, 0 to stop a 2xx response whose type is
// not a page (the record's m_iCurHeaderLen is then 0).
size_t curl_write_header(char* ptr, size_t size, size_t nmemb, char* stream);
// Returns the chunk length, 0 once more than g_iDownLoadMaxLength bytes came.
size_t curl_write(char* ptr, size_t size, size_t nmemb, char* stream);
// SO_REUSEADDR to *clientp and O_NONBLOCK; 1 (abandon) when a call fails.
int sockopt_callback(void* clientp, curl_socket_t curlfd, curlsocktype purpose);

#endif  // CRAWLER_EASYCALLBACKS_H_
