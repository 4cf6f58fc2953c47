// Test helpers that write dispatcher messages by hand, so tests can send
// replies the generated code would never produce (missing fields, garbage).
#ifndef TESTS_DISPATCHER2_WIRE_BYTES_H_
#define TESTS_DISPATCHER2_WIRE_BYTES_H_

#include <stdint.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <functional>
#include <memory>
#include <string>

namespace wire {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

// The bytes `write` puts through a binary protocol.
inline std::string Encode(const std::function<void(TBinaryProtocol&)>& write) {
  auto buf = std::make_shared<TMemoryBuffer>();
  TBinaryProtocol proto(buf);
  write(proto);
  return buf->getBufferAsString();
}

inline std::string Framed(const std::string& body) {
  uint32_t n = static_cast<uint32_t>(body.size());
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((n >> shift) & 0xFF);
  return out + body;
}

// A reply message for `method` whose result struct's field 0 is written by
// `success` (nothing written: no field 0).
inline std::string Reply(const std::string& method,
                         const std::function<void(TBinaryProtocol&)>& success) {
  using namespace apache::thrift::protocol;
  return Encode([&](TBinaryProtocol& p) {
    p.writeMessageBegin(method, T_REPLY, 0);
    p.writeStructBegin("result");
    if (success) {
      p.writeFieldBegin("success", T_STRUCT, 0);
      success(p);
      p.writeFieldEnd();
    }
    p.writeFieldStop();
    p.writeStructEnd();
    p.writeMessageEnd();
  });
}

// A UrlInfoItem with its required fields, priority only when asked for.
inline void WriteItem(TBinaryProtocol& p, const std::string& url, bool with_priority) {
  using namespace apache::thrift::protocol;
  p.writeStructBegin("UrlInfoItem");
  p.writeFieldBegin("url", T_STRING, 1);
  p.writeString(url);
  p.writeFieldEnd();
  if (with_priority) {
    p.writeFieldBegin("priority", T_I32, 2);
    p.writeI32(0);
    p.writeFieldEnd();
  }
  p.writeFieldBegin("data_type", T_STRING, 3);
  p.writeString(std::string("html"));
  p.writeFieldEnd();
  p.writeFieldStop();
  p.writeStructEnd();
}

// A ProvideDataResponse with only the fields the arguments ask for.
inline void WriteResponse(TBinaryProtocol& p, bool with_rc, int rc, int urls,
                          bool with_priority = true) {
  using namespace apache::thrift::protocol;
  p.writeStructBegin("ProvideDataResponse");
  if (with_rc) {
    p.writeFieldBegin("rc", T_I32, 1);
    p.writeI32(rc);
    p.writeFieldEnd();
  }
  if (urls > 0) {
    p.writeFieldBegin("url_infos", T_LIST, 3);
    p.writeListBegin(T_STRUCT, urls);
    for (int i = 0; i < urls; ++i) {
      WriteItem(p, "http://wire" + std::to_string(i) + ".test/", with_priority);
    }
    p.writeListEnd();
    p.writeFieldEnd();
  }
  p.writeFieldStop();
  p.writeStructEnd();
}

}  // namespace wire

#endif  // TESTS_DISPATCHER2_WIRE_BYTES_H_
