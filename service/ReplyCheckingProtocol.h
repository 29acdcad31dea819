// ReplyCheckingProtocol: the binary protocol of a Quarn client, which refuses
// an answer that does not belong to the call just sent. The generated client
// would skip such a message and then wait for another one that never comes;
// and a stray name length in the header would make it allocate whatever the
// peer claims. Here the header is checked before the name is read.
#ifndef WANVOX_SERVICE_REPLYCHECKINGPROTOCOL_H_
#define WANVOX_SERVICE_REPLYCHECKINGPROTOCOL_H_

#include <memory>
#include <string>

#include <thrift/protocol/TBinaryProtocol.h>

class ReplyCheckingProtocol : public apache::thrift::protocol::TBinaryProtocol {
 public:
  // Strict write on, strict read off, no string or container limit.
  explicit ReplyCheckingProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport);

  // Remembers the method name of the call.
  uint32_t writeMessageBegin_virt(const std::string& name,
                                  const apache::thrift::protocol::TMessageType type,
                                  const int32_t seqid) override;

  // Reads an answer's header, in the strict or the old form, and throws
  // TApplicationException (wrong method name, invalid message type) unless it
  // is a reply or an exception for the method last called. The sequence id is
  // not compared.
  uint32_t readMessageBegin_virt(std::string& name,
                                 apache::thrift::protocol::TMessageType& type,
                                 int32_t& seqid) override;

 private:
  std::string m_sCalled;
};

#endif  // WANVOX_SERVICE_REPLYCHECKINGPROTOCOL_H_
