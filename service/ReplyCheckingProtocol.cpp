#include "service/ReplyCheckingProtocol.h"

#include <thrift/TApplicationException.h>

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocolException;

namespace {

[[noreturn]] void RefuseAnswer(TApplicationException::TApplicationExceptionType kind,
                               const std::string& text) {
  throw TApplicationException(kind, text);
}

}  // namespace

ReplyCheckingProtocol::ReplyCheckingProtocol(
    std::shared_ptr<apache::thrift::transport::TTransport> transport)
    : TBinaryProtocolT(std::move(transport), kStringLimit, kContainerLimit, false, true) {}

uint32_t ReplyCheckingProtocol::writeMessageBegin_virt(const std::string& name,
                                                       const TMessageType type,
                                                       const int32_t seqid) {
  m_sCalled = name;
  return writeMessageBegin(name, type, seqid);
}

uint32_t ReplyCheckingProtocol::readMessageBegin_virt(std::string& name, TMessageType& type,
                                                      int32_t& seqid) {
  int32_t first = 0;
  uint32_t got = readI32(first);
  const bool strict = first < 0;  // version and type first; else the name comes first
  int32_t nameLength = first;
  if (strict) {
    if ((first & VERSION_MASK) != VERSION_1) {
      throw TProtocolException(TProtocolException::BAD_VERSION, "Bad version identifier");
    }
    type = static_cast<TMessageType>(first & 0xff);
    got += readI32(nameLength);
  }
  if (nameLength != static_cast<int32_t>(m_sCalled.size())) {
    RefuseAnswer(TApplicationException::WRONG_METHOD_NAME, "answer is not for " + m_sCalled);
  }
  got += readStringBody(name, nameLength);
  if (!strict) {
    int8_t oldType = 0;
    got += readByte(oldType);
    type = static_cast<TMessageType>(oldType);
  }
  got += readI32(seqid);
  if (name != m_sCalled) {
    RefuseAnswer(TApplicationException::WRONG_METHOD_NAME, "answer is not for " + m_sCalled);
  }
  if (type != apache::thrift::protocol::T_REPLY && type != apache::thrift::protocol::T_EXCEPTION) {
    RefuseAnswer(TApplicationException::INVALID_MESSAGE_TYPE,
                 "answer to " + m_sCalled + " is not a reply");
  }
  return got;
}
