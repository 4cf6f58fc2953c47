#include "SimServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TServerSocket.h>
#include <thrift/transport/TSocket.h>

#include <atomic>
#include <future>
#include <mutex>

#include "dispatcher2/DispatcherProtocol.h"

using apache::thrift::protocol::TBinaryProtocolFactory;
using apache::thrift::protocol::TProtocol;
using apache::thrift::server::TServerEventHandler;
using apache::thrift::server::TThreadedServer;
using apache::thrift::transport::TFramedTransportFactory;
using apache::thrift::transport::TServerSocket;
using apache::thrift::transport::TSocket;
using apache::thrift::transport::TTransport;

namespace dispatcher_sim {

namespace {

constexpr int kListenBacklog = 128;

// Numbers the connections, records them opening and closing, and tells the
// handler which connection the current call came in on.
class ConnectionEvents : public TServerEventHandler {
 public:
  ConnectionEvents(SimHandler& handler, EventLog& log) : m_handler(handler), m_log(log) {}

  void* createContext(std::shared_ptr<TProtocol>, std::shared_ptr<TProtocol>) override {
    auto* conn = new SimConnection;
    conn->id = ++m_next_id;
    m_handler.CountConnection();
    return conn;
  }
  void processContext(void* ctx, std::shared_ptr<TTransport> transport) override {
    auto* conn = static_cast<SimConnection*>(ctx);
    if (!conn->socket) {
      conn->socket = transport;
      auto socket = std::dynamic_pointer_cast<TSocket>(transport);
      std::string peer =
          socket ? socket->getPeerAddress() + ":" + std::to_string(socket->getPeerPort()) : "";
      m_log.Write("\"event\":\"connect\",\"conn\":" + std::to_string(conn->id) + ",\"peer\":\"" +
                  peer + "\"");
    }
    SetCurrentConnection(conn);
  }
  void deleteContext(void* ctx, std::shared_ptr<TProtocol>, std::shared_ptr<TProtocol>) override {
    auto* conn = static_cast<SimConnection*>(ctx);
    m_log.Write("\"event\":\"disconnect\",\"conn\":" + std::to_string(conn->id));
    SetCurrentConnection(nullptr);
    delete conn;
  }

 private:
  SimHandler& m_handler;
  EventLog& m_log;
  std::atomic<int> m_next_id{0};
};

int BoundPort(int fd) {
  sockaddr_storage addr;
  socklen_t len = sizeof(addr);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
}

}  // namespace

SimServer::SimServer(const SimOptions& options, FILE* out)
    : m_options(options), m_log(out), m_handler(std::make_shared<SimHandler>(options, m_log)) {}

SimServer::~SimServer() { Stop(); }

// The server thread reports once: the bound port, or why serving failed.
bool SimServer::Start(std::string& error) {
  spider::SilenceThriftOutput();
  struct StartResult {
    std::promise<int> port;
    std::string error;
    std::once_flag once;
  };
  auto result = std::make_shared<StartResult>();
  std::future<int> port = result->port.get_future();
  auto socket = std::make_shared<TServerSocket>(m_options.host, m_options.port);
  // The callback runs just before the server's own listen(); listening here
  // already means a client may connect as soon as Start returns.
  socket->setListenCallback([result](THRIFT_SOCKET fd) {
    int port = ::listen(fd, kListenBacklog) == 0 ? BoundPort(fd) : 0;
    std::call_once(result->once, [&] { result->port.set_value(port); });
  });
  m_server = std::make_shared<TThreadedServer>(
      std::make_shared<spider::SpiderDispatcher2Processor>(m_handler), socket,
      std::make_shared<TFramedTransportFactory>(), std::make_shared<TBinaryProtocolFactory>());
  m_server->setServerEventHandler(std::make_shared<ConnectionEvents>(*m_handler, m_log));
  m_thread = std::thread([this, result] {
    try {
      m_server->serve();
    } catch (const std::exception& e) {
      std::call_once(result->once, [&] {
        result->error = e.what();
        result->port.set_value(0);
      });
    }
  });
  m_port = port.get();
  if (m_port != 0) return true;
  error = result->error;
  m_thread.join();
  m_server.reset();
  return false;
}

void SimServer::Stop() {
  if (!m_server) return;
  m_server->stop();
  if (m_thread.joinable()) m_thread.join();
  m_server.reset();
}

}  // namespace dispatcher_sim
