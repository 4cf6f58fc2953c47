#include "dispatcher2/DispatcherProtocol.h"

#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocolDecorator.h>

using apache::thrift::protocol::T_CALL;
using apache::thrift::protocol::T_ONEWAY;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolDecorator;

namespace spider {

namespace {

// The generated client marks oneway calls T_ONEWAY; the dispatchers expect
// them as plain calls that are never answered.
class OnewayAsCallProtocol : public TProtocolDecorator {
 public:
  explicit OnewayAsCallProtocol(std::shared_ptr<TProtocol> proto) : TProtocolDecorator(proto) {}

  uint32_t writeMessageBegin_virt(const std::string& name, const TMessageType messageType,
                                  const int32_t seqid) override {
    return TProtocolDecorator::writeMessageBegin_virt(
        name, messageType == T_ONEWAY ? T_CALL : messageType, seqid);
  }
};

void PrintNothing(const char*) {}

}  // namespace

void SilenceThriftOutput() { apache::thrift::GlobalOutput.setOutputFunction(PrintNothing); }

std::shared_ptr<TProtocol> MakeDispatcherProtocol(
    std::shared_ptr<apache::thrift::transport::TTransport> transport) {
  const bool kStrictRead = false;
  const bool kStrictWrite = true;
  return std::make_shared<OnewayAsCallProtocol>(
      std::make_shared<TBinaryProtocol>(transport, 0, 0, kStrictRead, kStrictWrite));
}

}  // namespace spider
