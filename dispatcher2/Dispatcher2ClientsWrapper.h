// Pool of dispatcher clients, one per configured server, handed out in
// rotation with fail-over to the next live server. Connection errors never
// leave the pool. Not thread-safe: one pool belongs to one thread.
#ifndef DISPATCHER2_DISPATCHER2CLIENTSWRAPPER_H_
#define DISPATCHER2_DISPATCHER2CLIENTSWRAPPER_H_

#include <memory>
#include <string>

#include "dispatcher2/SpiderDispatcher2.h"

namespace spider {

// Bits of the Init result.
enum InitResultType {
  IRT_OK = 0,
  IRT_FAIL_FOR_SERVER = 1,
  IRT_FAIL_FOR_DOMAIN_DICT = 2,
  IRT_FAIL_FOR_OTHER = 4
};

class Dispatcher2ClientsWrapper {
 public:
  typedef std::shared_ptr<SpiderDispatcher2Client> ClientPtr;

  // Time-outs in milliseconds.
  Dispatcher2ClientsWrapper(int connect_timeout, int send_timeout, int recv_timeout);
  ~Dispatcher2ClientsWrapper();

  // Reads [ServerList] server_addrs and, once per process, the [TldsDict]
  // dict; tries to connect each server. Returns the union of failure bits.
  int Init(const std::string& config_file);
  // Next connected client in rotation with its address and id; null and
  // server_id -1 when no server can be reached.
  ClientPtr SelectAliveClient(std::string& server_addr, int& server_id);
  // Close the connection; the server keeps its stub and is reopened when
  // selected again.
  void CloseServer(const ClientPtr& client);
  void CloseServer(int server_id);

  class Impl;

 private:
  std::shared_ptr<Impl> m_impl;
};

}  // namespace spider

#endif  // DISPATCHER2_DISPATCHER2CLIENTSWRAPPER_H_
