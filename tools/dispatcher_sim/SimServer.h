// A running simulator: a threaded Thrift server (framed transport, binary
// protocol) on its own thread, one thread per connection. Start, Port and
// Stop are called by the owner; the handler and log are shared safely.
#ifndef DISPATCHER_SIM_SIMSERVER_H_
#define DISPATCHER_SIM_SIMSERVER_H_

#include <memory>
#include <string>
#include <thread>

#include "EventLog.h"
#include "SimHandler.h"

namespace apache {
namespace thrift {
namespace server {
class TThreadedServer;
}
}  // namespace thrift
}  // namespace apache

namespace dispatcher_sim {

class SimServer {
 public:
  // `out` receives the JSON lines (may be null: memory only).
  SimServer(const SimOptions& options, FILE* out);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds and starts serving; false with the reason in `error` (for
  // instance a busy port).
  bool Start(std::string& error);
  // The bound port (the chosen one when the options ask for port 0).
  int Port() const { return m_port; }
  // Stops accepting, ends the open connections and waits for the server.
  void Stop();

  EventLog& Log() { return m_log; }
  SimHandler& Handler() { return *m_handler; }

 private:
  SimOptions m_options;
  EventLog m_log;
  std::shared_ptr<SimHandler> m_handler;
  std::shared_ptr<apache::thrift::server::TThreadedServer> m_server;
  std::thread m_thread;
  int m_port = 0;
};

}  // namespace dispatcher_sim

#endif  // DISPATCHER_SIM_SIMSERVER_H_
