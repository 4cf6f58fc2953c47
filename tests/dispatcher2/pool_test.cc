#include <gtest/gtest.h>
#include <stdlib.h>
#include <thrift/Thrift.h>
#include <thrift/protocol/TProtocolException.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "SimServer.h"
#include "dispatcher2/Dispatcher2ClientsWrapper.h"
#include "scripted_frame_server.h"
#include "wire_bytes.h"

using dispatcher_sim::SimOptions;
using dispatcher_sim::SimServer;
using spider::Dispatcher2ClientsWrapper;

namespace {

constexpr int kConnectMs = 1000;
constexpr int kSendMs = 1000;
constexpr int kRecvMs = 5000;

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pool_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    m_dict = m_dir + "/psl.dat";
    std::ofstream(m_dict) << "// test rules\ncom\n*.ck\n!www.ck\n";
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + m_dir + "'";
    ASSERT_EQ(0, system(cmd.c_str()));
  }

  std::string WriteConfig(const std::string& text, const std::string& name = "crawler.ini") {
    std::string path = m_dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Config(const std::string& servers) {
    return WriteConfig("[ServerList]\nserver_addrs=" + servers + "\n[TldsDict]\ndict=" + m_dict +
                       "\n");
  }
  SimServer& StartSim() {
    m_sims.push_back(std::make_unique<SimServer>(SimOptions(), nullptr));
    std::string error;
    EXPECT_TRUE(m_sims.back()->Start(error)) << error;
    return *m_sims.back();
  }
  static std::string Addr(int port) { return "127.0.0.1:" + std::to_string(port); }
  // A loopback port nobody listens on.
  int ClosedPort() {
    SimServer sim(SimOptions(), nullptr);
    std::string error;
    EXPECT_TRUE(sim.Start(error)) << error;
    int port = sim.Port();
    sim.Stop();
    return port;
  }
  static std::vector<int> Rotation(Dispatcher2ClientsWrapper& pool, int n) {
    std::vector<int> ids;
    for (int i = 0; i < n; ++i) {
      std::string addr;
      int id = 0;
      pool.SelectAliveClient(addr, id);
      ids.push_back(id);
    }
    return ids;
  }

  std::string m_dir;
  std::string m_dict;
  std::vector<std::unique_ptr<SimServer>> m_sims;
};

TEST_F(PoolTest, EmptyPiecesAndPiecesWithoutColonTakeNoId) {
  SimServer& a = StartSim();
  SimServer& b = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(spider::IRT_OK, pool.Init(Config(Addr(a.Port()) + ",,localhost," + Addr(b.Port()))));
  std::string addr;
  int id = -1;
  ASSERT_TRUE(pool.SelectAliveClient(addr, id));
  EXPECT_EQ(0, id);
  EXPECT_EQ(Addr(a.Port()), addr);
  ASSERT_TRUE(pool.SelectAliveClient(addr, id));
  EXPECT_EQ(1, id);
  EXPECT_EQ(Addr(b.Port()), addr);
  EXPECT_EQ((std::vector<int>{0, 1, 0}), Rotation(pool, 3));
}

TEST_F(PoolTest, RotationVisitsEveryLiveServer) {
  SimServer& a = StartSim();
  SimServer& b = StartSim();
  SimServer& c = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(a.Port()) + "," + Addr(b.Port()) + "," + Addr(c.Port()))));
  EXPECT_EQ((std::vector<int>{0, 1, 2, 0, 1}), Rotation(pool, 5));
}

TEST_F(PoolTest, DeadServerFailsOverToTheNextLiveOne) {
  SimServer& a = StartSim();
  SimServer& c = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(a.Port()) + "," + Addr(ClosedPort()) + "," + Addr(c.Port()))));
  EXPECT_EQ((std::vector<int>{0, 2, 2, 0, 2, 2}), Rotation(pool, 6));
}

// A leading blank stays part of the host name, which then cannot resolve.
TEST_F(PoolTest, BlankAfterCommaLeavesThatServerDown) {
  SimServer& a = StartSim();
  SimServer& b = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(a.Port()) + ", " + Addr(b.Port()))));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), Rotation(pool, 3));
}

TEST_F(PoolTest, NoReachableServerGivesNullAndMinusOne) {
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(ClosedPort()))));
  std::string addr;
  int id = 5;
  EXPECT_FALSE(pool.SelectAliveClient(addr, id));
  EXPECT_EQ(-1, id);
}

TEST_F(PoolTest, ServerStartedLaterIsPickedUpByRotation) {
  int port = ClosedPort();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(port))));
  std::string addr;
  int id = 0;
  EXPECT_FALSE(pool.SelectAliveClient(addr, id));
  SimOptions opts;
  opts.port = port;
  SimServer late(opts, nullptr);
  std::string error;
  ASSERT_TRUE(late.Start(error)) << error;
  auto client = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(client);
  spider::ProvideDataResponse resp;
  client->FetchUrls(resp, 1);
  EXPECT_EQ(spider::ProvideDataResponseReturnCode::RC_NO_DATA, resp.rc);
}

TEST_F(PoolTest, ClosedServerIsReopenedOnTheSameClient) {
  SimServer& a = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(a.Port()))));
  std::string addr;
  int id = 0;
  auto first = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(first);
  spider::ProvideDataResponse resp;
  first->FetchUrls(resp, 1);
  pool.CloseServer(first);
  ASSERT_TRUE(a.Log().WaitFor("\"event\":\"disconnect\"", 1, 5000));
  auto again = pool.SelectAliveClient(addr, id);
  EXPECT_EQ(first, again);
  again->FetchUrls(resp, 1);

  pool.CloseServer(0);
  pool.CloseServer(7);  // ignored
  pool.CloseServer(-1);
  ASSERT_TRUE(a.Log().WaitFor("\"event\":\"disconnect\"", 2, 5000));
  again = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(again);
  again->FetchUrls(resp, 1);
  EXPECT_EQ(3, a.Handler().Counters().connections);
  EXPECT_EQ(3, a.Handler().Counters().fetches);
}

// The rest of a rejected reply must not be read as the start of the next one
// once the connection is reopened.
TEST_F(PoolTest, ReopenedConnectionDoesNotReadLeftoversOfABadReply) {
  std::string bad = wire::Framed(
      wire::Reply("FetchUrls",
                  [](wire::TBinaryProtocol& p) { wire::WriteResponse(p, false, 0, 2); }) +
      std::string(16, '\x0b'));
  std::string good = wire::Framed(wire::Reply(
      "FetchUrls", [](wire::TBinaryProtocol& p) { wire::WriteResponse(p, true, 0, 1); }));
  ScriptedFrameServer server({{bad}, {good}});
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  ASSERT_EQ(0, pool.Init(Config(Addr(server.Port()))));
  std::string addr;
  int id = 0;
  auto client = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(client);
  spider::ProvideDataResponse resp;
  EXPECT_THROW(client->FetchUrls(resp, 3), apache::thrift::protocol::TProtocolException);
  pool.CloseServer(client);
  client = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(client);
  client->FetchUrls(resp, 3);
  EXPECT_EQ(spider::ProvideDataResponseReturnCode::RC_DATA_OK, resp.rc);
  ASSERT_EQ(1u, resp.url_infos.size());
}

TEST_F(PoolTest, InitResultBits) {
  SimServer& a = StartSim();
  Dispatcher2ClientsWrapper missing_file(kConnectMs, kSendMs, kRecvMs);
  EXPECT_EQ(spider::IRT_FAIL_FOR_OTHER, missing_file.Init(m_dir + "/absent.ini"));
  Dispatcher2ClientsWrapper no_dict_key(kConnectMs, kSendMs, kRecvMs);
  EXPECT_EQ(spider::IRT_FAIL_FOR_OTHER,
            no_dict_key.Init(
                WriteConfig("[ServerList]\nserver_addrs=" + Addr(a.Port()) + "\n", "nodict.ini")));
  Dispatcher2ClientsWrapper bad_dict(kConnectMs, kSendMs, kRecvMs);
  EXPECT_EQ(spider::IRT_FAIL_FOR_DOMAIN_DICT | spider::IRT_FAIL_FOR_SERVER,
            bad_dict.Init(WriteConfig("[TldsDict]\ndict=" + m_dir + "/absent.dat\n", "bad.ini")));
  // The dictionary loads once per process; later pools only read servers.
  Dispatcher2ClientsWrapper good(kConnectMs, kSendMs, kRecvMs);
  EXPECT_EQ(spider::IRT_OK, good.Init(Config(Addr(a.Port()))));
  Dispatcher2ClientsWrapper no_servers(kConnectMs, kSendMs, kRecvMs);
  EXPECT_EQ(spider::IRT_FAIL_FOR_SERVER,
            no_servers.Init(WriteConfig("[TldsDict]\ndict=/absent\n", "noservers.ini")));
}

TEST_F(PoolTest, DictPathExpandsConfigParentDir) {
  ASSERT_EQ(0, system(("mkdir -p '" + m_dir + "/config' '" + m_dir + "/dict'").c_str()));
  std::ofstream(m_dir + "/dict/psl.dat") << "com\n";
  SimServer& a = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  std::string config = WriteConfig(
      "[TldsDict]\ndict=${config_parent_dir}/dict/psl.dat # comment\n"
      "[ServerList]\nserver_addrs=" +
          Addr(a.Port()) + "\n",
      "config/crawler.ini");
  EXPECT_EQ(spider::IRT_OK, pool.Init(config));
}

// CR line ends: the port still parses (atoi stops at the CR) but the
// dictionary path keeps its CR and does not load.
TEST_F(PoolTest, CarriageReturnLineEnds) {
  SimServer& a = StartSim();
  Dispatcher2ClientsWrapper pool(kConnectMs, kSendMs, kRecvMs);
  std::string config = WriteConfig("[ServerList]\r\nserver_addrs=" + Addr(a.Port()) +
                                   "\r\n[TldsDict]\r\ndict=" + m_dict + "\r\n");
  EXPECT_EQ(spider::IRT_FAIL_FOR_DOMAIN_DICT, pool.Init(config));
  std::string addr;
  int id = -1;
  auto client = pool.SelectAliveClient(addr, id);
  ASSERT_TRUE(client);
  EXPECT_EQ(Addr(a.Port()) + "\r", addr);
  spider::ProvideDataResponse resp;
  client->FetchUrls(resp, 1);
  EXPECT_EQ(1, a.Handler().Counters().fetches);
}

}  // namespace
