#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/Thrift.h>
#include <thrift/protocol/TProtocolException.h>

#include "dispatcher2/DispatcherProtocol.h"
#include "dispatcher2/SpiderDispatcher2.h"
#include "wire_bytes.h"

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TFramedTransport;
using apache::thrift::transport::TMemoryBuffer;
using namespace spider;

namespace {

template <class T>
T Decode(const std::string& bytes) {
  auto buf = std::make_shared<TMemoryBuffer>();
  buf->write(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
  wire::TBinaryProtocol proto(buf);
  T value;
  value.read(&proto);
  return value;
}

template <class T>
std::string EncodeStruct(const T& value) {
  return wire::Encode([&](wire::TBinaryProtocol& p) { value.write(&p); });
}

UrlInfoItem FullItem() {
  UrlInfoItem item;
  item.url = "http://example.test/a?b=1";
  item.priority = 7;
  item.data_type = "robots";
  item.__set_ip(0x0100007F);
  item.__set_user_agent("agent");
  item.__set_referer("http://ref.test/");
  item.__set_cookie("k=v");
  item.__set_postdata("x=1");
  item.__set_res_flag(3);
  item.__set_proxy_addr("127.0.0.1:3128");
  item.__set_proxy_type(1);
  item.__set_data_category("cat");
  item.__set_log_category("log");
  item.__set_expire_time(9);
  item.__set_opt("{}");
  item.__set_dispatcher1_in_tm(11);
  item.__set_dispatcher1_out_tm(12);
  item.__set_dispatcher2_in_tm(13);
  item.__set_dispatcher2_out_tm(14);
  item.__set_crawler_in_tm(15);
  item.__set_crawler_out_tm(16);
  item.__set_uuid("u");
  item.__set_dispatcher1_ip("10.0.0.1");
  item.__set_proxy_name("p");
  item.__set_robots_nomatch(true);
  item.__set_need_delete(true);
  item.__set_ip_no_replace(true);
  return item;
}

// Raw bytes of the client's request, taken from its framed transport.
std::string RequestBytes(const std::function<void(SpiderDispatcher2Client&)>& call) {
  auto out = std::make_shared<TMemoryBuffer>();
  auto framed = std::make_shared<TFramedTransport>(out);
  SpiderDispatcher2Client client(MakeDispatcherProtocol(framed));
  call(client);
  return out->getBufferAsString();
}

}  // namespace

TEST(DispatcherTypes, EveryFieldRoundTrips) {
  ProvideDataResponse resp;
  resp.rc = ProvideDataResponseReturnCode::RC_DATA_PART_OK;
  resp.__set_message("m");
  resp.__set_url_infos({FullItem(), FullItem()});
  resp.__set_slice_id(4);
  EXPECT_EQ(resp, Decode<ProvideDataResponse>(EncodeStruct(resp)));

  ProxyConcurrItem proxy;
  proxy.proxy_name = "p";
  proxy.proxy_addr = "1.2.3.4:8080";
  proxy.concurr_cnt = 5;
  EXPECT_EQ(proxy, Decode<ProxyConcurrItem>(EncodeStruct(proxy)));
}

TEST(DispatcherTypes, UnsetOptionalFieldsStayUnset) {
  UrlInfoItem item;
  item.url = "http://a.test/";
  item.data_type = "html";
  UrlInfoItem back = Decode<UrlInfoItem>(EncodeStruct(item));
  EXPECT_FALSE(back.__isset.ip);
  EXPECT_FALSE(back.__isset.uuid);
  EXPECT_FALSE(back.__isset.ip_no_replace);
  EXPECT_EQ(item, back);
}

TEST(DispatcherTypes, MissingRequiredFieldsAreInvalidData) {
  auto no_rc = wire::Encode([](wire::TBinaryProtocol& p) { wire::WriteResponse(p, false, 0, 1); });
  try {
    Decode<ProvideDataResponse>(no_rc);
    FAIL() << "response without rc accepted";
  } catch (const TProtocolException& e) {
    EXPECT_EQ(TProtocolException::INVALID_DATA, e.getType());
  }

  auto no_priority =
      wire::Encode([](wire::TBinaryProtocol& p) { wire::WriteItem(p, "http://a.test/", false); });
  try {
    Decode<UrlInfoItem>(no_priority);
    FAIL() << "item without priority accepted";
  } catch (const TProtocolException& e) {
    EXPECT_EQ(TProtocolException::INVALID_DATA, e.getType());
  }
}

TEST(DispatcherTypes, ResponseWithoutListIsAnEmptyBatch) {
  auto rc_only = wire::Encode([](wire::TBinaryProtocol& p) { wire::WriteResponse(p, true, 2, 0); });
  ProvideDataResponse resp = Decode<ProvideDataResponse>(rc_only);
  EXPECT_EQ(ProvideDataResponseReturnCode::RC_NO_DATA, resp.rc);
  EXPECT_FALSE(resp.__isset.url_infos);
  EXPECT_TRUE(resp.url_infos.empty());
}

// Frame length, strict version word with message type, name, sequence id 0.
TEST(DispatcherWire, CallsAreFramedStrictAndNumberedZero) {
  struct Case {
    const char* method;
    std::function<void(SpiderDispatcher2Client&)> call;
  };
  const Case cases[] = {
      {"FetchUrls", [](SpiderDispatcher2Client& c) { c.send_FetchUrls(5); }},
      {"RegisterCrawler",
       [](SpiderDispatcher2Client& c) { c.send_RegisterCrawler("n", "c", "h", "d"); }},
      {"NotfiyDownloadFinish",
       [](SpiderDispatcher2Client& c) {
         c.NotfiyDownloadFinish({{"a.test", 1}}, {{7, 1}});
       }},
      {"NotfiyProxyDownloadFinish",
       [](SpiderDispatcher2Client& c) { c.NotfiyProxyDownloadFinish({}); }},
      {"UpdateHostIps",
       [](SpiderDispatcher2Client& c) {
         c.UpdateHostIps({{"a.test", {1}}}, "dns");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    std::string bytes = RequestBytes(c.call);
    ASSERT_GT(bytes.size(), 12u + strlen(c.method));
    uint32_t frame = (uint8_t(bytes[0]) << 24) | (uint8_t(bytes[1]) << 16) |
                     (uint8_t(bytes[2]) << 8) | uint8_t(bytes[3]);
    EXPECT_EQ(bytes.size() - 4, frame);
    EXPECT_EQ(std::string("\x80\x01\x00\x01", 4), bytes.substr(4, 4)) << "version and T_CALL";
    size_t name_len = strlen(c.method);
    EXPECT_EQ(std::string("\0\0\0", 3) + char(name_len), bytes.substr(8, 4));
    EXPECT_EQ(c.method, bytes.substr(12, name_len));
    EXPECT_EQ(std::string(4, '\0'), bytes.substr(12 + name_len, 4)) << "sequence id";
  }
}

TEST(DispatcherWire, ReplyWithoutResultRaisesMissingResult) {
  auto in = std::make_shared<TMemoryBuffer>();
  std::string reply = wire::Reply("FetchUrls", nullptr);
  in->write(reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint32_t>(reply.size()));
  SpiderDispatcher2Client client(std::make_shared<wire::TBinaryProtocol>(in));
  ProvideDataResponse resp;
  try {
    client.recv_FetchUrls(resp);
    FAIL() << "no exception";
  } catch (const TApplicationException& e) {
    EXPECT_EQ(TApplicationException::MISSING_RESULT, e.getType());
    EXPECT_STREQ("FetchUrls failed: unknown result", e.what());
  }
}
