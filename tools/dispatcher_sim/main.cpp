// dispatcher_sim: a dispatcher for running and testing the crawler. Serves
// URLs from a file over the dispatcher RPC and prints every call it gets.
#include <getopt.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "SimServer.h"
#include "UrlFile.h"
#include "kpub/kstring.h"

using namespace dispatcher_sim;

namespace {

constexpr int kUsageExit = 2;

const char kUsage[] =
    "Usage: dispatcher_sim [options]\n"
    "Serves URLs to crawlers over the dispatcher RPC (Thrift, framed transport,\n"
    "binary protocol) and writes every call it receives as one JSON line.\n"
    "\n"
    "  -u, --urls FILE       URL file: one URL per line, then optional tab-separated\n"
    "                        name=value fields (data_type, ip, referer, cookie,\n"
    "                        postdata, proxy_addr, proxy_type, proxy_name, user_agent,\n"
    "                        data_category, log_category, uuid, opt, res_flag,\n"
    "                        ip_no_replace, priority, dispatcher1_in_tm, ...);\n"
    "                        ip is dotted IPv4 or a number; '#' lines are comments.\n"
    "                        Without a file every fetch gets RC_NO_DATA.\n"
    "  -H, --host ADDR       address to listen on (default 127.0.0.1)\n"
    "  -p, --port N          port to listen on (default 0: any free port)\n"
    "      --port-file FILE  write the bound port to FILE once listening\n"
    "  -o, --out FILE        write the JSON lines to FILE (default standard output)\n"
    "      --loop            serve the URL list again each time it runs out\n"
    "      --batch N         at most N URLs per answer (default: as many as asked)\n"
    "      --rc LIST         codes for the first FetchUrls answers, comma-separated,\n"
    "                        by name (RC_NO_DATA) or number; 'auto' answers from the\n"
    "                        list: RC_DATA_OK with URLs, RC_NO_DATA when empty\n"
    "      --drop LIST       FetchUrls calls (counted from 1) at which the connection\n"
    "                        is closed without an answer, comma-separated\n"
    "      --delay-ms MS     wait MS milliseconds before every FetchUrls answer\n"
    "  -h, --help            show this text\n"
    "\n"
    "Lines: {\"ts_ms\":...,\"event\":\"connect\"|\"disconnect\",\"conn\":N,...} and\n"
    "{\"ts_ms\":...,\"call\":METHOD,\"conn\":N,...arguments}; addresses are the 32-bit\n"
    "integers of the wire (network byte order). Stops on SIGINT or SIGTERM and\n"
    "prints a summary on standard error.\n";

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "dispatcher_sim: %s\n", message.c_str());
  exit(kUsageExit);
}

int ToNumber(const char* text, const char* option) {
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || v < 0 || v > INT32_MAX) {
    Fail(std::string("bad number '") + text + "' for " + option + " (see --help)");
  }
  return static_cast<int>(v);
}

int ToCode(const std::string& text) {
  if (text == "auto") return kAutoCode;
  for (const auto& kv : spider::_ProvideDataResponseReturnCode_VALUES_TO_NAMES) {
    if (text == kv.second) return kv.first;
  }
  return ToNumber(text.c_str(), "--rc");
}

std::vector<std::string> Pieces(const char* list) {
  std::vector<std::string> pieces;
  if (KPub::split(list, ",", pieces) == 0) pieces.push_back(list);
  return pieces;
}

struct CliOptions {
  SimOptions sim;
  std::string url_file;
  std::string port_file;
  std::string out_file;
};

void ApplyOption(int opt, const char* arg, CliOptions& cli) {
  switch (opt) {
    case 'u':
      cli.url_file = arg;
      break;
    case 'H':
      cli.sim.host = arg;
      break;
    case 'p':
      cli.sim.port = ToNumber(arg, "--port");
      break;
    case 'P':
      cli.port_file = arg;
      break;
    case 'o':
      cli.out_file = arg;
      break;
    case 'l':
      cli.sim.loop = true;
      break;
    case 'b':
      cli.sim.max_batch = ToNumber(arg, "--batch");
      break;
    case 'r':
      for (const std::string& p : Pieces(arg)) cli.sim.rc_script.push_back(ToCode(p));
      break;
    case 'd':
      for (const std::string& p : Pieces(arg))
        cli.sim.drop_fetches.insert(ToNumber(p.c_str(), "--drop"));
      break;
    case 'D':
      cli.sim.delay_ms = ToNumber(arg, "--delay-ms");
      break;
    case 'h':
      fputs(kUsage, stdout);
      exit(0);
    default:
      Fail("unknown option (see --help)");
  }
}

CliOptions ParseCommandLine(int argc, char** argv) {
  static const option kOptions[] = {
      {"urls", required_argument, nullptr, 'u'},  {"host", required_argument, nullptr, 'H'},
      {"port", required_argument, nullptr, 'p'},  {"port-file", required_argument, nullptr, 'P'},
      {"out", required_argument, nullptr, 'o'},   {"loop", no_argument, nullptr, 'l'},
      {"batch", required_argument, nullptr, 'b'}, {"rc", required_argument, nullptr, 'r'},
      {"drop", required_argument, nullptr, 'd'},  {"delay-ms", required_argument, nullptr, 'D'},
      {"help", no_argument, nullptr, 'h'},        {nullptr, 0, nullptr, 0}};
  CliOptions cli;
  opterr = 0;
  for (int opt; (opt = getopt_long(argc, argv, "u:H:p:o:h", kOptions, nullptr)) != -1;) {
    ApplyOption(opt, optarg, cli);
  }
  if (optind < argc) Fail(std::string("unexpected argument '") + argv[optind] + "' (see --help)");
  std::string error;
  if (!cli.url_file.empty() && !LoadUrlFile(cli.url_file, cli.sim.urls, error)) Fail(error);
  return cli;
}

void PrintSummary(const SimCounters& c) {
  fprintf(stderr,
          "dispatcher_sim: %d connections, %d registrations, %d fetches, %d URLs served, "
          "%d NotfiyDownloadFinish, %d NotfiyProxyDownloadFinish, %d UpdateHostIps, "
          "%d dropped\n",
          c.connections, c.registrations, c.fetches, c.urls_served, c.host_feedbacks,
          c.proxy_feedbacks, c.host_ip_updates, c.drops);
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions cli = ParseCommandLine(argc, argv);
  FILE* out = stdout;
  if (!cli.out_file.empty() && (out = fopen(cli.out_file.c_str(), "a")) == nullptr) {
    Fail(cli.out_file + ": " + strerror(errno));
  }
  // Blocked before any thread starts, so only sigwait below sees them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  SimServer server(cli.sim, out);
  std::string error;
  if (!server.Start(error)) {
    Fail("cannot listen on " + cli.sim.host + ":" + std::to_string(cli.sim.port) + ": " + error);
  }
  fprintf(stderr, "dispatcher_sim: listening on %s:%d with %zu URLs\n", cli.sim.host.c_str(),
          server.Port(), cli.sim.urls.size());
  if (!cli.port_file.empty()) {
    FILE* pf = fopen(cli.port_file.c_str(), "w");
    if (pf == nullptr) Fail(cli.port_file + ": " + strerror(errno));
    fprintf(pf, "%d\n", server.Port());
    fclose(pf);
  }
  int sig = 0;
  sigwait(&stop, &sig);
  server.Stop();
  PrintSummary(server.Handler().Counters());
  if (out != stdout) fclose(out);
  return 0;
}
