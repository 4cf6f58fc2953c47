#include <sys/time.h>
#include <thrift/TApplicationException.h>

#include <chrono>
#include <memory>

#include "../dispatcher2/scripted_frame_server.h"
#include "../dispatcher2/wire_bytes.h"
#include "SimServer.h"
#include "intake_fixture.h"

using dispatcher_sim::SimOptions;
using dispatcher_sim::SimServer;
using spider::ProvideDataResponseReturnCode;

namespace {

constexpr int kWaitMs = 5000;

spider::UrlInfoItem Info(const std::string& url) {
  spider::UrlInfoItem info;
  info.url = url;
  info.data_type = "html";
  return info;
}

std::vector<spider::UrlInfoItem> Urls(int n) {
  std::vector<spider::UrlInfoItem> urls;
  for (int i = 0; i < n; ++i) urls.push_back(Info("http://h" + std::to_string(i) + ".test/"));
  return urls;
}

double SecondsOf(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class PullTest : public IntakeTest {
 protected:
  SimServer& StartSim(SimOptions opts) {
    m_sim = std::make_unique<SimServer>(opts, nullptr);
    std::string error;
    EXPECT_TRUE(m_sim->Start(error)) << error;
    return *m_sim;
  }
  std::unique_ptr<SimServer> m_sim;
};

TEST_F(PullTest, RegistersThenFetchesTheQuota) {
  SimOptions opts;
  opts.urls = Urls(5);
  SimServer& sim = StartSim(opts);
  for (int i = 0; i < kThreads; ++i) m_inflight[i] = 20;  // 200 in flight
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  pull.PullOnce();
  EXPECT_EQ(5u, Pending().size());
  char host[256] = {};
  gethostname(host, sizeof(host) - 1);
  auto reg = sim.Log().Matching("\"call\":\"RegisterCrawler\"");
  ASSERT_EQ(1u, reg.size());
  EXPECT_NE(std::string::npos,
            reg[0].find("\"crawler_name\":\"spider1\",\"cluster_name\":\"clus\",\"host_name\":\"" +
                        std::string(host) + "\",\"dns_type\":\"local\""));
  auto fetch = sim.Log().Matching("\"call\":\"FetchUrls\"");
  ASSERT_EQ(1u, fetch.size());
  EXPECT_NE(std::string::npos, fetch[0].find("\"count\":280,")) << fetch[0];
  EXPECT_EQ(1, pull.CurrentId());

  pull.PullOnce();  // 275 now: 480 - 200 in flight - 5 pending
  fetch = sim.Log().Matching("\"call\":\"FetchUrls\"");
  ASSERT_EQ(2u, fetch.size());
  EXPECT_NE(std::string::npos, fetch[1].find("\"count\":275,")) << fetch[1];
  EXPECT_EQ(1u, sim.Log().Matching("RegisterCrawler").size()) << "registered once";
}

TEST_F(PullTest, FullProcessAsksForNothing) {
  SimServer& sim = StartSim(SimOptions());
  for (int i = 0; i < kThreads; ++i) m_inflight[i] = 48;
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  double took = SecondsOf([&] { pull.PullOnce(); });
  EXPECT_GE(took, 0.4);
  EXPECT_TRUE(sim.Log().Matching("\"call\"").empty());
}

TEST_F(PullTest, BackOffAfterAnswersWithoutData) {
  SimOptions opts;
  opts.rc_script = {ProvideDataResponseReturnCode::RC_NO_DATA,
                    ProvideDataResponseReturnCode::RC_REJECT,
                    ProvideDataResponseReturnCode::RC_DATA_PART_OK};
  opts.urls = Urls(1);
  SimServer& sim = StartSim(opts);
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  pull.PullOnce();  // RC_NO_DATA: two seconds
  double held = SecondsOf([&] { pull.PullOnce(); });
  EXPECT_GT(held, 1.5);
  EXPECT_LT(held, 2.6);
  EXPECT_EQ(1u, sim.Log().Matching("\"call\":\"FetchUrls\"").size());
  pull.PullOnce();  // RC_REJECT: one second
  held = SecondsOf([&] { pull.PullOnce(); });
  EXPECT_GT(held, 0.5);
  EXPECT_LT(held, 1.6);
  pull.PullOnce();  // RC_DATA_PART_OK is processed like RC_DATA_OK
  EXPECT_EQ(1u, Pending().size());
  EXPECT_EQ(3u, sim.Log().Matching("\"call\":\"FetchUrls\"").size());
}

TEST_F(PullTest, FailedCallRegistersAgainWithANewId) {
  SimOptions opts;
  opts.urls = Urls(3);
  opts.max_batch = 1;
  opts.drop_fetches = {2};
  SimServer& sim = StartSim(opts);
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  pull.PullOnce();
  EXPECT_EQ(1, pull.CurrentId());
  pull.PullOnce();  // dropped mid-call
  EXPECT_FALSE(pull.HasClient(1));
  EXPECT_EQ(1u, Pending().size()) << "items of earlier batches stay queued";
  pull.PullOnce();
  EXPECT_EQ(2, pull.CurrentId());
  EXPECT_TRUE(pull.HasClient(2));
  EXPECT_EQ(2u, sim.Log().Matching("RegisterCrawler").size());
  EXPECT_EQ(2u, Pending().size());
  EXPECT_NE(std::string::npos, Log().find("[search.download]ClearClient"));
}

TEST_F(PullTest, FeedBackCountsPerConnectionInOrder) {
  SimOptions opts;
  opts.urls = Urls(1);
  SimServer& sim = StartSim(opts);
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  pull.PullOnce();
  Drain(g_PendingList);
  struct Done {
    const char* host;
    int ip;
    const char* proxy_name;
    const char* proxy_addr;
    std::vector<int> resolved;
    int conn;
  };
  const Done done[] = {
      {"a.test", 7, "", "", {}, 1},
      {"a.test", 7, "", "", {}, 1},
      {"a.test", 0, "", "", {}, 1},
      {"b.test", -1, "", "", {}, 1},
      {"b.test", 9, "px", "", {}, 1},  // proxy name without address: a host count
      {"c.test", 5, "px", "1.1.1.1:80", {}, 1},
      {"c.test", 5, "px", "1.1.1.1:80", {}, 1},
      {"d.test", -1, "", "", {11, 12}, 1},
      {"lost.test", 3, "", "", {1}, 42},
  };
  for (const Done& d : done) {
    spider::UrlInfoItem info = Info(std::string("http://") + d.host + "/");
    if (d.ip != -1) info.__set_ip(d.ip);
    info.__set_proxy_name(d.proxy_name);
    info.__set_proxy_addr(d.proxy_addr);
    tagURL_ITEM* item = pull.Format(info, d.conn);
    ASSERT_NE(nullptr, item);
    item->m_strHost = d.host;
    item->m_ips = d.resolved;
    item->m_bWaiting = !d.resolved.empty();
    g_DoneList.AddTail(item->m_iCurNo);
  }
  pull.FeedBack();
  ASSERT_TRUE(sim.Log().WaitFor("\"call\":\"NotfiyDownloadFinish\"", 1, kWaitMs));
  std::vector<std::string> calls;
  for (const std::string& line : sim.Log().Lines()) {
    if (line.find("\"call\":\"RegisterCrawler\"") != std::string::npos ||
        line.find("\"call\":\"FetchUrls\"") != std::string::npos) {
      continue;
    }
    if (line.find("\"call\"") != std::string::npos)
      calls.push_back(line.substr(line.find("\"call\"")));
  }
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(
      "\"call\":\"UpdateHostIps\",\"conn\":1,\"host_ips\":{\"d.test\":[11,12]},"
      "\"clus_type\":\"local\"}",
      calls[0]);
  EXPECT_EQ(
      "\"call\":\"NotfiyProxyDownloadFinish\",\"conn\":1,\"vec_proxy_concurr\":"
      "[{\"proxy_name\":\"px\",\"proxy_addr\":\"1.1.1.1:80\",\"concurr_cnt\":2}]}",
      calls[1]);
  EXPECT_EQ(
      "\"call\":\"NotfiyDownloadFinish\",\"conn\":1,\"hosts_count\":"
      "{\"a.test\":3,\"b.test\":2,\"d.test\":1},\"ips_count\":{\"7\":2,\"9\":1}}",
      calls[2]);

  pull.FeedBack();  // nothing finished: nothing sent
  pull.PullOnce();  // a later call on the same connection flushes the server's queue
  EXPECT_EQ(1u, sim.Log().Matching("NotfiyDownloadFinish").size());
}

TEST_F(PullTest, RunLoopPullsUntilTheFlagDrops) {
  SimOptions opts;
  opts.urls = Urls(4);
  SimServer& sim = StartSim(opts);
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port())).c_str()));
  pull.start();
  // The simulator logs before its answer arrives, so wait on the queue.
  for (int i = 0; i < kWaitMs / 10 && g_PendingList.Size() < 4; ++i) usleep(10000);
  g_bLoadThreadRun = false;
  pull.join();
  EXPECT_EQ(4u, Pending().size());
  EXPECT_NE(std::string::npos, Log().find("[search.download]crawler exit\n"));
}

std::string RegisterReply() {
  using namespace apache::thrift::protocol;
  return wire::Framed(wire::Encode([](wire::TBinaryProtocol& p) {
    p.writeMessageBegin("RegisterCrawler", T_REPLY, 0);
    p.writeStructBegin("result");
    p.writeFieldBegin("success", T_BOOL, 0);
    p.writeBool(true);
    p.writeFieldEnd();
    p.writeFieldStop();
    p.writeStructEnd();
    p.writeMessageEnd();
  }));
}

std::string FetchReply(bool with_rc, int urls) {
  return wire::Framed(wire::Reply(
      "FetchUrls", [=](wire::TBinaryProtocol& p) { wire::WriteResponse(p, with_rc, 0, urls); }));
}

// An item without priority spoils its whole batch.
std::string FetchReplyWithoutPriority() {
  return wire::Framed(wire::Reply(
      "FetchUrls", [](wire::TBinaryProtocol& p) { wire::WriteResponse(p, true, 0, 1, false); }));
}

TEST_F(PullTest, BadRepliesDropTheConnectionAndKeepQueuedItems) {
  struct Case {
    const char* name;
    std::string reply;
  };
  const Case cases[] = {
      {"no rc", FetchReply(false, 2)},
      {"no priority", FetchReplyWithoutPriority()},
      {"bad version", wire::Framed("\x80\x02\x00\x02" + std::string(36, '\x7f'))},
      {"exception reply", wire::Framed(wire::Encode([](wire::TBinaryProtocol& p) {
         p.writeMessageBegin("FetchUrls", apache::thrift::protocol::T_EXCEPTION, 0);
         apache::thrift::TApplicationException("boom").write(&p);
         p.writeMessageEnd();
       }))},
      {"dropped", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFrameServer server(
        {{RegisterReply(), FetchReply(true, 2), c.reply}, {RegisterReply(), FetchReply(true, 1)}});
    PullDataT pull;
    ASSERT_TRUE(pull.Init(Config(Addr(server.Port())).c_str()));
    pull.PullOnce();
    EXPECT_EQ(2u, Pending().size());
    pull.PullOnce();
    EXPECT_FALSE(pull.HasClient(1));
    EXPECT_EQ(2u, Pending().size());
    pull.PullOnce();  // the next connection works
    EXPECT_EQ(2, pull.CurrentId());
    EXPECT_EQ(3u, Pending().size());
    Drain(g_PendingList);
  }
}

TEST_F(PullTest, InitFailures) {
  SimServer& sim = StartSim(SimOptions());
  struct Case {
    std::string config;
    bool ok;
    const char* logged;
  };
  const Case cases[] = {
      {Config(Addr(sim.Port())), true, ""},
      {Config(Addr(sim.Port()), "crawler_name=spider1\n", "noclus.ini"), false,
       "please set [crawler] crawler_clus in config file"},
      {Config(Addr(sim.Port()), "crawler_clus=clus\n", "noname.ini"), false,
       "please set [crawler] crawler_name in config file"},
      {m_dir.File("absent.ini"), false, "Dispatcher2ClientsWrapper Init Faild."},
  };
  for (const Case& c : cases) {
    PullDataT pull;
    EXPECT_EQ(c.ok, pull.Init(c.config.c_str())) << c.logged;
    EXPECT_NE(std::string::npos, Log().find(c.logged));
  }
  EXPECT_NE(std::string::npos, Log().find("GetParameter fail."));
}

// Without dns_type the registration carries an empty resolver kind.
TEST_F(PullTest, MissingDnsTypeIsSentEmpty) {
  SimOptions opts;
  opts.urls = Urls(1);
  SimServer& sim = StartSim(opts);
  PullDataT pull;
  ASSERT_TRUE(pull.Init(Config(Addr(sim.Port()), "crawler_clus=c\ncrawler_name=n\n").c_str()));
  pull.PullOnce();
  EXPECT_EQ(1u, sim.Log().Matching("\"dns_type\":\"\"").size());
}

}  // namespace
