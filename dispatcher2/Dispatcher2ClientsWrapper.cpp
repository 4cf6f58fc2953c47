#include "dispatcher2/Dispatcher2ClientsWrapper.h"

#include <limits.h>
#include <stdlib.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>
#include <time.h>

#include <stdexcept>
#include <vector>

#include "dispatcher2/DispatcherIni.h"
#include "dispatcher2/DispatcherProtocol.h"
#include "dispatcher2/DomainDict.h"
#include "kpub/kstring.h"
#include "kpub/threadlock.h"

using apache::thrift::transport::TFramedTransport;
using apache::thrift::transport::TSocket;
using apache::thrift::transport::TTransport;

namespace spider {

namespace {

constexpr uint32_t kFrameBufferSize = 8192;
// Receive retries after an interrupted read: recv_timeout / divisor.
constexpr int kInitRetryDivisor = 2000;
constexpr int kReconnectRetryDivisor = 5000;
const char kConfigParentDir[] = "${config_parent_dir}";

int Now() { return static_cast<int>(time(nullptr)); }

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) == nullptr ? path : std::string(buf);
}

// The directory above the configuration file's directory, as a real path.
std::string ConfigParentDir(const std::string& config_file) {
  size_t slash = config_file.rfind('/');
  std::string dir = slash == std::string::npos ? "." : config_file.substr(0, slash + 1);
  return RealPath(RealPath(dir) + "/../");
}

std::string ExpandConfigParentDir(std::string path, const std::string& config_file) {
  const std::string parent = ConfigParentDir(config_file);
  for (size_t pos = path.find(kConfigParentDir); pos != std::string::npos;
       pos = path.find(kConfigParentDir, pos + parent.size())) {
    path.replace(pos, sizeof(kConfigParentDir) - 1, parent);
  }
  return path;
}

// Loads the dictionary once per process. A failed load is retried by the
// next Init, so a later pool with a repaired configuration still gets it.
int LoadDomainDictOnce(const DispatcherIni& ini, const std::string& config_file) {
  static KPub::kMutex s_mutex;
  static bool s_loaded = false;
  KPub::scopelock<KPub::kMutex> guard(s_mutex);
  if (s_loaded) return IRT_OK;
  const char* dict = ini.ini_read("TldsDict", "dict");
  if (dict == nullptr) throw std::runtime_error("no [TldsDict] dict");
  s_loaded = DomainDict::Instance().Load(ExpandConfigParentDir(dict, config_file));
  return s_loaded ? IRT_OK : IRT_FAIL_FOR_DOMAIN_DICT;
}

// Bytes of a reply the protocol gave up on would be read as the start of the
// next reply once the connection is reopened.
void DropBufferedReply(TTransport& t) {
  uint32_t len = 1;
  if (t.borrow(nullptr, &len) != nullptr) t.consume(len);
}

// close() flushes first; on a broken peer that throws before the socket is
// closed, so the socket is closed underneath as well.
void CloseTransport(const std::shared_ptr<TTransport>& t) {
  if (!t) return;
  try {
    DropBufferedReply(*t);
    t->close();
  } catch (...) {
  }
  auto framed = std::dynamic_pointer_cast<TFramedTransport>(t);
  if (!framed) return;
  try {
    framed->getUnderlyingTransport()->close();
  } catch (...) {
  }
}

}  // namespace

class Dispatcher2ClientsWrapper::Impl {
 public:
  struct ClientStub {
    std::string server_addr;
    bool is_alive = false;
    int dead_time = 0;
    ClientPtr client;
  };

  Impl(int connect_timeout, int send_timeout, int recv_timeout)
      : m_current_crawler_client_index(0),
        m_connect_timeout(connect_timeout),
        m_send_timeout(send_timeout),
        m_recv_timeout(recv_timeout) {}
  ~Impl() {
    for (auto& stub : m_clients) CloseClient(stub.client);
  }

  int Init(const std::string& config_file);
  ClientPtr SelectAliveClient(std::string& server_addr, int& server_id);
  void CloseServer(int server_id) {
    if (server_id >= 0 && server_id < static_cast<int>(m_clients.size())) {
      CloseClient(m_clients[server_id].client);
    }
  }
  static void CloseClient(const ClientPtr& client);

 private:
  int AddServers(const DispatcherIni& ini);
  bool Connect(ClientStub& stub, int retry_divisor);
  int SelectAliveServerId(int start);
  bool KeepServerAlive(ClientStub& stub);

  std::vector<ClientStub> m_clients;
  int m_current_crawler_client_index;
  int m_connect_timeout;
  int m_send_timeout;
  int m_recv_timeout;
};

int Dispatcher2ClientsWrapper::Impl::Init(const std::string& config_file) {
  spider::SilenceThriftOutput();
  DispatcherIni ini;
  if (!ini.ini_init(config_file.c_str())) return IRT_FAIL_FOR_OTHER;
  try {
    int result = LoadDomainDictOnce(ini, config_file);
    return result | AddServers(ini);
  } catch (...) {
    return IRT_FAIL_FOR_OTHER;
  }
}

int Dispatcher2ClientsWrapper::Impl::AddServers(const DispatcherIni& ini) {
  const char* addrs = ini.ini_read("ServerList", "server_addrs");
  if (addrs == nullptr) return IRT_FAIL_FOR_SERVER;
  std::vector<std::string> pieces;
  KPub::split(addrs, ",", pieces);
  if (pieces.empty()) pieces.push_back(addrs);
  for (const std::string& piece : pieces) {
    if (piece.find(':') == std::string::npos) continue;
    ClientStub stub;
    stub.server_addr = piece;
    Connect(stub, kInitRetryDivisor);
    m_clients.push_back(stub);
  }
  return IRT_OK;
}

// Opens a new socket for a stub without client; builds and keeps the client.
bool Dispatcher2ClientsWrapper::Impl::Connect(ClientStub& stub, int retry_divisor) {
  size_t colon = stub.server_addr.find(':');
  try {
    auto socket = std::make_shared<TSocket>(stub.server_addr.substr(0, colon),
                                            atoi(stub.server_addr.c_str() + colon + 1));
    socket->setConnTimeout(m_connect_timeout);
    socket->setSendTimeout(m_send_timeout);
    socket->setRecvTimeout(m_recv_timeout);
    socket->setMaxRecvRetries(m_recv_timeout / retry_divisor);
    socket->open();
    auto framed = std::make_shared<TFramedTransport>(socket, kFrameBufferSize);
    stub.client = std::make_shared<SpiderDispatcher2Client>(MakeDispatcherProtocol(framed));
    stub.is_alive = true;
    return true;
  } catch (...) {
    stub.dead_time = Now();
    return false;
  }
}

Dispatcher2ClientsWrapper::ClientPtr Dispatcher2ClientsWrapper::Impl::SelectAliveClient(
    std::string& server_addr, int& server_id) {
  server_id = -1;
  try {
    if (m_clients.empty()) return ClientPtr();
    if (m_current_crawler_client_index >= static_cast<int>(m_clients.size())) {
      m_current_crawler_client_index = 0;
    }
    int id = SelectAliveServerId(m_current_crawler_client_index++);
    if (id < 0) return ClientPtr();
    server_addr = m_clients[id].server_addr;
    server_id = id;
    return m_clients[id].client;
  } catch (...) {
    server_id = -1;
    return ClientPtr();
  }
}

// A server marked dead is retried only when the rotation starts at it; live
// ones also serve as fall-backs for the others.
int Dispatcher2ClientsWrapper::Impl::SelectAliveServerId(int start) {
  ClientStub& first = m_clients[start];
  if (KeepServerAlive(first)) {
    first.dead_time = 0;
    first.is_alive = true;
    return start;
  }
  if (first.is_alive) {
    first.is_alive = false;
    first.dead_time = Now();
  }
  const int n = static_cast<int>(m_clients.size());
  for (int step = 1; step <= n; ++step) {
    ClientStub& stub = m_clients[(start + step) % n];
    if (!stub.is_alive) continue;
    if (KeepServerAlive(stub)) return (start + step) % n;
    stub.is_alive = false;
  }
  return -1;
}

bool Dispatcher2ClientsWrapper::Impl::KeepServerAlive(ClientStub& stub) {
  if (!stub.client) return Connect(stub, kReconnectRetryDivisor);
  std::shared_ptr<TTransport> in = stub.client->getInputProtocol()->getTransport();
  std::shared_ptr<TTransport> out = stub.client->getOutputProtocol()->getTransport();
  try {
    for (const auto& t : {in, out}) {
      if (!t->isOpen()) {
        CloseTransport(t);
        t->open();
      }
    }
    return in->isOpen() && out->isOpen();
  } catch (...) {
    return false;
  }
}

void Dispatcher2ClientsWrapper::Impl::CloseClient(const ClientPtr& client) {
  if (!client) return;
  auto in = client->getInputProtocol();
  auto out = client->getOutputProtocol();
  if (in) CloseTransport(in->getTransport());
  if (out && out != in) CloseTransport(out->getTransport());
}

Dispatcher2ClientsWrapper::Dispatcher2ClientsWrapper(int connect_timeout, int send_timeout,
                                                     int recv_timeout)
    : m_impl(std::make_shared<Impl>(connect_timeout, send_timeout, recv_timeout)) {}

Dispatcher2ClientsWrapper::~Dispatcher2ClientsWrapper() = default;

int Dispatcher2ClientsWrapper::Init(const std::string& config_file) {
  return m_impl->Init(config_file);
}

Dispatcher2ClientsWrapper::ClientPtr Dispatcher2ClientsWrapper::SelectAliveClient(
    std::string& server_addr, int& server_id) {
  return m_impl->SelectAliveClient(server_addr, server_id);
}

void Dispatcher2ClientsWrapper::CloseServer(const ClientPtr& client) { Impl::CloseClient(client); }

void Dispatcher2ClientsWrapper::CloseServer(int server_id) { m_impl->CloseServer(server_id); }

}  // namespace spider
