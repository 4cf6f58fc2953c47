// Runs tools/http_sim/http_sim.py as a child process on loopback for one
// test, and reads what it recorded. Owned by one test; not thread-safe.
#ifndef CRAWLER_TESTS_DOWNLOAD_HTTP_SIM_PROCESS_H_
#define CRAWLER_TESTS_DOWNLOAD_HTTP_SIM_PROCESS_H_

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// One recorded request or proxy connection, fields as the tool logs them.
struct SimEvent {
  std::string server;
  std::string client;
  std::string method;
  std::string target;
  std::vector<std::string> header_lines;
  std::string body;
  std::string host;  // socks5: address asked for
  int port = 0;      // socks5: port asked for; http_proxy: upstream port
  // The value of the first header line named `name` (any case), or "" .
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class HttpSimProcess {
 public:
  // Starts the listeners named in `listeners` (e.g. {"http", "https"}) on
  // `bind`, each on `port` (0: a free one), in a fresh directory under
  // `workdir`; fails the test when they do not come up.
  HttpSimProcess(const std::string& workdir, const std::vector<std::string>& listeners,
                 const std::string& bind = "127.0.0.1", int port = 0);
  ~HttpSimProcess();
  HttpSimProcess(const HttpSimProcess&) = delete;
  HttpSimProcess& operator=(const HttpSimProcess&) = delete;

  int Port(const std::string& listener) const;
  // Every event recorded so far, in order.
  std::vector<SimEvent> Events() const;
  // Events of one listener whose target contains `needle`.
  std::vector<SimEvent> Find(const std::string& server, const std::string& needle) const;

 private:
  void Launch(const std::vector<std::string>& listeners, const std::string& bind, int port);

  std::string m_dir;
  pid_t m_pid;
  std::map<std::string, int> m_ports;
};

#endif  // CRAWLER_TESTS_DOWNLOAD_HTTP_SIM_PROCESS_H_
