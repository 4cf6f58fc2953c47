#include "sinan/hisinan.h"

#include <errno.h>
#include <stdio.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "sinan/connect.h"
#include "sinan/framing.h"
#include "sinan/ip.pb.h"

namespace SINAN {

pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;

namespace {

constexpr int kConnectAttempts = 3;
constexpr int kConnectTimeoutSec = 5;
constexpr unsigned int kDefaultTimeoutSec = 1200;
constexpr useconds_t kRetrySleepUs = 10 * 1000;
constexpr int kRecvChunk = 256;

const char* const kHandshake[] = {"read", "check"};

class MutexGuard {
 public:
  MutexGuard() { pthread_mutex_lock(&g_mutex); }
  ~MutexGuard() { pthread_mutex_unlock(&g_mutex); }
  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;
};

// A blocked socket call may be tried again while the deadline allows.
bool MayRetry(time_t deadline) {
  if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
  if (time(nullptr) > deadline) return false;
  usleep(kRetrySleepUs);
  return true;
}

const IP_STATUS kStatusOf[] = {IP_OK, IP_NONE, IP_EXPIRED};

}  // namespace

hisinan::hisinan(SINAN_SID sid)
    : m_port(static_cast<unsigned int>(-1)), m_fd(-1), m_timeout(0), m_sid(sid), m_pack(nullptr) {}

hisinan::~hisinan() {
  Free();
  delete m_pack;
}

void hisinan::Free() {
  if (m_fd != -1) close(m_fd);
  m_fd = -1;
}

bool hisinan::Init(std::string server, unsigned int port, unsigned int timeout) {
  MutexGuard guard;
  if (server.empty() || port == 0) return false;
  if (m_pack == nullptr) m_pack = new ProtoPack;
  m_server = server;
  m_port = port;
  m_timeout = timeout;
  return ConnServer();
}

bool hisinan::ConnServer() {
  std::string handshake = kHandshake[m_sid == SINAN_SID_C ? 1 : 0];
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    Free();
    timeval timeout = {kConnectTimeoutSec, 0};
    m_fd = Connect(m_server.c_str(), static_cast<int>(m_port), timeout);
    if (m_fd == -1) {
      sleep(1);
      continue;
    }
    std::string reply;
    if (Talk2Server(handshake, reply)) return true;
  }
  return false;
}

bool hisinan::SendFrame(time_t deadline) {
  while (m_pack->m_iDone < m_pack->m_iLen) {
    ssize_t n = send(m_fd, m_pack->m_strBuf.data() + m_pack->m_iDone,
                     m_pack->m_iLen - m_pack->m_iDone, MSG_NOSIGNAL);
    if (n > 0) {
      m_pack->m_iDone += static_cast<int>(n);
    } else if (n == 0 || !MayRetry(deadline)) {
      return false;
    }
  }
  return true;
}

bool hisinan::ReceiveFrame(time_t deadline) {
  m_pack->ResetRead();
  char chunk[kRecvChunk];
  while (!m_pack->m_bFinish) {
    ssize_t n = recv(m_fd, chunk, m_pack->Lacking(kRecvChunk), 0);
    if (n > 0) {
      if (!m_pack->Feed(chunk, static_cast<int>(n))) return false;
    } else if (n == 0 || !MayRetry(deadline)) {
      return false;
    }
  }
  return true;
}

bool hisinan::Talk2Server(std::string& request, std::string& reply) {
  if (m_fd == -1 || m_pack == nullptr) return false;
  time_t deadline = time(nullptr) + (m_timeout == 0 ? kDefaultTimeoutSec : m_timeout);
  m_pack->Pack(request);
  if (SendFrame(deadline) && ReceiveFrame(deadline)) {
    reply.swap(m_pack->m_strBuf);
    return true;
  }
  Free();
  return false;
}

IP_STATUS hisinan::GetIP(const std::string& host, char* pszBuf, int iSize) {
  MutexGuard guard;
  if (m_pack == nullptr || (m_fd == -1 && !ConnServer())) return SINAN_ERR;
  IpMessage request;
  request.add_item()->set_host(host);
  std::string body;
  std::string reply;
  IpMessage answer;
  // A reply without an item answers nothing: treated as a failed exchange.
  if (!request.SerializeToString(&body) || !Talk2Server(body, reply) ||
      !answer.ParseFromString(reply) || answer.item_size() == 0) {
    Free();
    return SINAN_ERR;
  }
  const IpMessage_Item& item = answer.item(0);
  if (iSize > 0) snprintf(pszBuf, iSize, "%s", item.ip().c_str());
  return kStatusOf[item.type()];
}

}  // namespace SINAN
