// Client of the DNS cache service: one TCP connection, one framed request and
// reply per host. Thread-safety: Init and GetIP hold the process-wide
// g_mutex for their whole duration, so at most one exchange with the service
// runs in the process; ConnServer, Talk2Server and Free take no lock.
#ifndef SINAN_HISINAN_H_
#define SINAN_HISINAN_H_

#include <pthread.h>

#include <string>

namespace SINAN {

struct ProtoPack;

enum SINAN_SID { SINAN_SID_R = 0, SINAN_SID_C = 1 };
enum IP_STATUS { IP_OK = 0, IP_NONE = 1, IP_EXPIRED = 2, SINAN_ERR = 3 };

extern pthread_mutex_t g_mutex;

class hisinan {
 public:
  explicit hisinan(SINAN_SID sid);
  ~hisinan();
  hisinan(const hisinan&) = delete;
  hisinan& operator=(const hisinan&) = delete;

  // Stores the endpoint and the deadline of one exchange in seconds (0 means
  // 1200) and connects. False without trying when server is empty or port 0.
  bool Init(std::string server, unsigned int port, unsigned int timeout);
  // Looks one host up; the address text is copied into pszBuf (at most
  // iSize - 1 bytes and a zero byte). Any failure is SINAN_ERR with the
  // connection closed; the next call reconnects.
  IP_STATUS GetIP(const std::string& host, char* pszBuf, int iSize);
  void Free();

 private:
  bool ConnServer();
  bool Talk2Server(std::string& request, std::string& reply);
  bool SendFrame(time_t deadline);
  bool ReceiveFrame(time_t deadline);

  std::string m_server;
  unsigned int m_port;
  int m_fd;  // -1 when not connected
  unsigned int m_timeout;
  SINAN_SID m_sid;
  ProtoPack* m_pack;  // owned; created by Init
};

}  // namespace SINAN

#endif  // SINAN_HISINAN_H_
