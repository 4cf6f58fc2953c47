// DNS cache service simulator: a TCP server speaking the framed protocol of
// the service, answering from a hosts-style file. One thread per connection;
// the table is read-only after start-up.
//
// Usage: dnscache_sim --hosts FILE [--port N] [--no-handshake-reply]
//                     [--close-after N] [--zero-length-reply]
// Hosts file lines: "host addr [addr ...] [expired|none]" or "host 0"; "#"
// starts a comment. Unknown hosts are answered with type NONE.
// Prints "listening PORT" once ready, then "ask HOST" per look-up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "sinan/framing.h"
#include "sinan/ip.pb.h"

namespace {

struct Record {
  std::string ips;  // TAB-separated, as the service sends it
  IpMessage_IpType type;
};

struct Options {
  int port = 0;
  std::string hosts;
  bool handshakeReply = true;
  long closeAfter = -1;  // look-ups answered per connection, -1 = no limit
  bool zeroLength = false;
};

std::map<std::string, Record> g_table;
Options g_opt;
std::mutex g_outMutex;

void Say(const std::string& line) {
  std::lock_guard<std::mutex> guard(g_outMutex);
  printf("%s\n", line.c_str());
  fflush(stdout);
}

bool LoadHosts(const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string host, word;
    if (!(words >> host)) continue;
    Record rec{"", IpMessage_IpType_VALID};
    while (words >> word) {
      if (word == "expired") {
        rec.type = IpMessage_IpType_EXPIRED;
      } else if (word == "none") {
        rec.type = IpMessage_IpType_NONE;
      } else {
        rec.ips += (rec.ips.empty() ? "" : "\t") + word;
      }
    }
    g_table[host] = rec;
  }
  return true;
}

// Reads one frame; false when the peer closed or sent garbage.
bool ReadFrame(int fd, std::string& body) {
  SINAN::ProtoPack pack;
  pack.ResetRead();
  char chunk[256];
  while (!pack.m_bFinish) {
    ssize_t n = recv(fd, chunk, pack.Lacking(sizeof(chunk)), 0);
    if (n <= 0 || !pack.Feed(chunk, static_cast<int>(n))) return false;
  }
  body.swap(pack.m_strBuf);
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  for (size_t done = 0; done < data.size();) {
    ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string Answer(const std::string& request) {
  IpMessage ask;
  IpMessage reply;
  if (!ask.ParseFromString(request) || ask.item_size() == 0) return "";
  const std::string& host = ask.item(0).host();
  Say("ask " + host);
  IpMessage_Item* item = reply.add_item();
  item->set_host(host);
  auto it = g_table.find(host);
  if (it == g_table.end()) {
    item->set_type(IpMessage_IpType_NONE);
  } else {
    item->set_ip(it->second.ips);
    item->set_type(it->second.type);
  }
  std::string body;
  reply.SerializeToString(&body);
  return body;
}

void Serve(int fd) {
  std::string body;
  bool talking = ReadFrame(fd, body);
  // Without a handshake reply the connection stays silent until the peer leaves.
  while (talking && !g_opt.handshakeReply) talking = ReadFrame(fd, body);
  talking = talking && WriteAll(fd, SINAN::FrameOf("ok"));
  for (long served = 0; talking && (g_opt.closeAfter < 0 || served < g_opt.closeAfter); ++served) {
    talking = ReadFrame(fd, body);
    std::string reply = talking ? Answer(body) : "";
    talking = talking && WriteAll(fd, SINAN::FrameOf(g_opt.zeroLength ? "" : reply));
  }
  close(fd);
}

bool ParseArgs(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--hosts" && hasValue) {
      g_opt.hosts = argv[++i];
    } else if (arg == "--port" && hasValue) {
      g_opt.port = atoi(argv[++i]);
    } else if (arg == "--close-after" && hasValue) {
      g_opt.closeAfter = atol(argv[++i]);
    } else if (arg == "--no-handshake-reply") {
      g_opt.handshakeReply = false;
    } else if (arg == "--zero-length-reply") {
      g_opt.zeroLength = true;
    } else {
      return false;
    }
  }
  return !g_opt.hosts.empty();
}

int Listen(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in addr;
  memset(&addr, 0, sizeof(addr));
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof(addr);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return -1;
  }
  Say("listening " + std::to_string(ntohs(addr.sin_port)));
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  if (!ParseArgs(argc, argv)) {
    fprintf(stderr,
            "Usage: %s --hosts FILE [--port N] [--no-handshake-reply] [--close-after N] "
            "[--zero-length-reply]\n",
            argv[0]);
    return 2;
  }
  if (!LoadHosts(g_opt.hosts)) {
    fprintf(stderr, "cannot read %s\n", g_opt.hosts.c_str());
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  int listener = Listen(g_opt.port);
  if (listener < 0) {
    perror("listen");
    return 1;
  }
  for (;;) {
    int fd = accept(listener, nullptr, nullptr);
    if (fd >= 0) std::thread(Serve, fd).detach();
  }
}
