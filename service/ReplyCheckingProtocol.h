// ReplyCheckingProtocol: the binary protocol of a Quarn client, which refuses
// an answer that does not belong to the call just sent. The generated client
// would skip such a message and then wait for another one that never comes;
// and a stray name length in the header would make it allocate whatever the
// peer claims. Here the header is checked before the name is read, and the
// body's strings and containers are limited: anything that binds the
// service's port can answer, and a claimed 2 GiB string was allocated and
// zero-filled before a byte of it arrived.
#ifndef WANVOX_SERVICE_REPLYCHECKINGPROTOCOL_H_
#define WANVOX_SERVICE_REPLYCHECKINGPROTOCOL_H_

#include <cstdint>
#include <memory>
#include <string>

#include <thrift/protocol/TBinaryProtocol.h>

class ReplyCheckingProtocol : public apache::thrift::protocol::TBinaryProtocol {
 public:
  // The most an answer may claim: a string of more bytes or a container of
  // more elements fails the call with TProtocolException "Exceeded size
  // limit" before anything is allocated. Quarn's answers to the daemon's
  // calls carry one i32.
  static constexpr int32_t kStringLimit = 64 * 1024;
  static constexpr int32_t kContainerLimit = 4096;

  // Strict write on, strict read off, the two limits above.
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
