// The DNS cache service client against the simulator and a raw framed peer.
#include "sinan/hisinan.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "sinan/ip.pb.h"
#include "test_support.h"

using SINAN::hisinan;

namespace {

const char kHosts[] =
    "two.test 93.184.216.34 93.184.216.35\n"
    "old.test 198.51.100.7 expired\n"
    "gone.test none\n"
    "dead.test 0\n";

class HisinanTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_sim.Start(m_dir, kHosts, m_extra)); }
  crawler_test::TempDir m_dir;
  crawler_test::SinanSim m_sim;
  std::vector<std::string> m_extra;
};

TEST(HisinanInit, RefusesEmptyServerOrPortZero) {
  hisinan client(SINAN::SINAN_SID_R);
  EXPECT_FALSE(client.Init("", 53, 10));
  EXPECT_FALSE(client.Init("127.0.0.1", 0, 10));
  char buf[64];
  EXPECT_EQ(SINAN::SINAN_ERR, client.GetIP("two.test", buf, sizeof(buf)));
}

TEST_F(HisinanTest, StatusAndAddressTextOfEachRecord) {
  struct Case {
    const char* host;
    SINAN::IP_STATUS status;
    const char* text;
  } cases[] = {
      {"two.test", SINAN::IP_OK, "93.184.216.34\t93.184.216.35"},
      {"old.test", SINAN::IP_EXPIRED, "198.51.100.7"},
      {"gone.test", SINAN::IP_NONE, ""},
      {"unknown.test", SINAN::IP_NONE, ""},
      {"dead.test", SINAN::IP_OK, "0"},
  };
  hisinan client(SINAN::SINAN_SID_R);
  ASSERT_TRUE(client.Init("127.0.0.1", m_sim.port(), 10));
  for (const Case& c : cases) {
    char buf[1024];
    memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(c.status, client.GetIP(c.host, buf, sizeof(buf))) << c.host;
    EXPECT_STREQ(c.text, buf) << c.host;
  }
}

TEST_F(HisinanTest, AddressTextIsCutToBufferSize) {
  hisinan client(SINAN::SINAN_SID_R);
  ASSERT_TRUE(client.Init("localhost", m_sim.port(), 10));
  char buf[12];
  memset(buf, 'x', sizeof(buf));
  EXPECT_EQ(SINAN::IP_OK, client.GetIP("two.test", buf, 8));
  EXPECT_STREQ("93.184.", buf);
  EXPECT_EQ('x', buf[8]);
}

class HisinanClosingTest : public HisinanTest {
 protected:
  HisinanClosingTest() { m_extra = {"--close-after", "1"}; }
};

TEST_F(HisinanClosingTest, FailsOnceAfterPeerClosesThenReconnects) {
  hisinan client(SINAN::SINAN_SID_R);
  ASSERT_TRUE(client.Init("127.0.0.1", m_sim.port(), 10));
  char buf[64];
  EXPECT_EQ(SINAN::IP_OK, client.GetIP("two.test", buf, sizeof(buf)));
  EXPECT_EQ(SINAN::SINAN_ERR, client.GetIP("two.test", buf, sizeof(buf)));
  EXPECT_EQ(SINAN::IP_EXPIRED, client.GetIP("old.test", buf, sizeof(buf)));
  EXPECT_STREQ("198.51.100.7", buf);
  EXPECT_EQ(1, m_sim.Asked("two.test"));
}

class HisinanZeroReplyTest : public HisinanTest {
 protected:
  HisinanZeroReplyTest() { m_extra = {"--zero-length-reply"}; }
};

// An empty body parses as a message without items: nothing to answer with.
TEST_F(HisinanZeroReplyTest, ReplyWithoutItemIsAnError) {
  hisinan client(SINAN::SINAN_SID_R);
  ASSERT_TRUE(client.Init("127.0.0.1", m_sim.port(), 10));
  char buf[64];
  EXPECT_EQ(SINAN::SINAN_ERR, client.GetIP("two.test", buf, sizeof(buf)));
  EXPECT_EQ(1, m_sim.Asked("two.test"));
}

class HisinanSilentTest : public HisinanTest {
 protected:
  HisinanSilentTest() { m_extra = {"--no-handshake-reply"}; }
};

TEST_F(HisinanSilentTest, UnansweredHandshakeFailsInit) {
  hisinan client(SINAN::SINAN_SID_R);
  EXPECT_FALSE(client.Init("127.0.0.1", m_sim.port(), 1));
}

// A one-connection peer that records the frames it receives and answers
// each with the next scripted reply (raw bytes, header included).
class RawPeer {
 public:
  explicit RawPeer(std::vector<std::string> replies) : m_replies(std::move(replies)) {
    m_fd = crawler_test::BindLoopback(SOCK_STREAM, m_port);
    listen(m_fd, 1);
    m_thread = std::thread(&RawPeer::Serve, this);
  }
  ~RawPeer() {
    m_thread.join();
    close(m_fd);
  }
  int port() const { return m_port; }
  const std::vector<std::string>& received() const { return m_received; }

 private:
  bool ReadExactly(int fd, char* p, size_t n) {
    for (size_t done = 0; done < n;) {
      pollfd pfd = {fd, POLLIN, 0};
      if (poll(&pfd, 1, 5000) != 1) return false;
      ssize_t got = recv(fd, p + done, n - done, 0);
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    return true;
  }
  void Serve() {
    pollfd pfd = {m_fd, POLLIN, 0};
    if (poll(&pfd, 1, 5000) != 1) return;
    int fd = accept(m_fd, nullptr, nullptr);
    for (const std::string& reply : m_replies) {
      uint32_t len;
      if (!ReadExactly(fd, reinterpret_cast<char*>(&len), 4) || len > 4096) break;
      std::string body(len, '\0');
      if (!ReadExactly(fd, &body[0], len)) break;
      m_received.push_back(std::string(reinterpret_cast<char*>(&len), 4) + body);
      send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
    close(fd);
  }

  std::vector<std::string> m_replies;
  std::vector<std::string> m_received;
  int m_fd;
  int m_port;
  std::thread m_thread;
};

std::string Frame(const std::string& body) {
  uint32_t len = static_cast<uint32_t>(body.size());
  return std::string(reinterpret_cast<char*>(&len), 4) + body;
}

TEST(HisinanWire, HandshakeTextAndRequestFrame) {
  IpMessage reply;
  IpMessage_Item* item = reply.add_item();
  item->set_host("a.test");
  item->set_ip("192.0.2.1");
  std::string body;
  reply.SerializeToString(&body);
  char buf[64];
  {
    RawPeer peer({Frame("ok"), Frame(body)});
    hisinan client(SINAN::SINAN_SID_C);
    ASSERT_TRUE(client.Init("127.0.0.1", peer.port(), 10));
    EXPECT_EQ(SINAN::IP_OK, client.GetIP("a.test", buf, sizeof(buf)));
    client.Free();
    ASSERT_EQ(2u, peer.received().size());
    EXPECT_EQ(std::string("\x05\0\0\0check", 9), peer.received()[0]);
    IpMessage request;
    ASSERT_TRUE(request.ParseFromString(peer.received()[1].substr(4)));
    ASSERT_EQ(1, request.item_size());
    EXPECT_EQ("a.test", request.item(0).host());
    EXPECT_FALSE(request.item(0).has_postfix());
    EXPECT_FALSE(request.item(0).has_ip());
    EXPECT_FALSE(request.item(0).has_type());
  }
  EXPECT_STREQ("192.0.2.1", buf);
}

// A length field announcing gigabytes must not be waited for or allocated.
TEST(HisinanWire, OversizedReplyLengthIsAnError) {
  RawPeer peer({Frame("ok"), std::string("\xff\xff\xff\xff", 4) + "junk"});
  hisinan client(SINAN::SINAN_SID_R);
  ASSERT_TRUE(client.Init("127.0.0.1", peer.port(), 10));
  char buf[64];
  EXPECT_EQ(SINAN::SINAN_ERR, client.GetIP("a.test", buf, sizeof(buf)));
}

}  // namespace
