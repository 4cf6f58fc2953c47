// The protocol of the dispatcher wire: binary protocol with strict writing
// and non-strict reading, no string or container limits, and every call,
// oneway ones included, sent with message type "call". One protocol object
// per connection, used by its owner's thread only.
#ifndef DISPATCHER2_DISPATCHERPROTOCOL_H_
#define DISPATCHER2_DISPATCHERPROTOCOL_H_

#include <thrift/protocol/TProtocol.h>
#include <thrift/transport/TTransport.h>

#include <memory>

namespace spider {

std::shared_ptr<apache::thrift::protocol::TProtocol> MakeDispatcherProtocol(
    std::shared_ptr<apache::thrift::transport::TTransport> transport);

// Switches the Thrift runtime's own diagnostics (printed on standard error)
// off; connection failures are reported by their callers instead.
void SilenceThriftOutput();

}  // namespace spider

#endif  // DISPATCHER2_DISPATCHERPROTOCOL_H_
