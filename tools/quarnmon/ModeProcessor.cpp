#include "tools/quarnmon/ModeProcessor.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace {

const struct {
  AnswerMode mode;
  const char* name;
} kModeNames[] = {
    {AnswerMode::kAnswer, "answer"},
    {AnswerMode::kNoSuccess, "no-success"},
    {AnswerMode::kException, "exception"},
    {AnswerMode::kDrop, "drop"},
    {AnswerMode::kSilent, "silent"},
    {AnswerMode::kGarbage, "garbage"},
    {AnswerMode::kWrongName, "wrong-name"},
    {AnswerMode::kHugeString, "huge-string"},
    {AnswerMode::kHugeList, "huge-list"},
};

// An old-style header whose first word, read as a name length, is 2 GiB.
const uint8_t kGarbage[] = {0x7f, 0xff, 0xff, 0xf0, 'g', 'a', 'r', 'b', 'a', 'g', 'e'};

// The answer to a held call in the modes that do not answer normally.
void WriteAnswer(AnswerMode mode, const std::string& name, int32_t seqid, TProtocol& out) {
  if (mode == AnswerMode::kSilent) return;
  if (mode == AnswerMode::kGarbage) {
    out.getTransport()->write(kGarbage, sizeof(kGarbage));
  } else if (mode == AnswerMode::kWrongName) {
    out.writeMessageBegin("GetModemInfo", apache::thrift::protocol::T_REPLY, seqid);
    out.writeStructBegin("result");
    out.writeFieldBegin("success", apache::thrift::protocol::T_I32, 0);
    out.writeI32(0);
    out.writeFieldEnd();
    out.writeFieldStop();
    out.writeStructEnd();
  } else if (mode == AnswerMode::kHugeString || mode == AnswerMode::kHugeList) {
    // A correct header, then field 1 of the result (skipped by the caller)
    // with its claim and a few bytes of it. Thrift's own message-size check
    // passes the list: a struct may be empty, so its elements claim no bytes.
    out.writeMessageBegin(name, apache::thrift::protocol::T_REPLY, seqid);
    out.writeStructBegin("result");
    if (mode == AnswerMode::kHugeString) {
      out.writeFieldBegin("huge", apache::thrift::protocol::T_STRING, 1);
      out.writeI32(0x7fffffff);
    } else {
      out.writeFieldBegin("huge", apache::thrift::protocol::T_LIST, 1);
      out.writeListBegin(apache::thrift::protocol::T_STRUCT, 0x7fffffff);
    }
    out.writeI32(0);
  } else if (mode == AnswerMode::kNoSuccess) {
    out.writeMessageBegin(name, apache::thrift::protocol::T_REPLY, seqid);
    out.writeStructBegin("result");
    out.writeFieldStop();
    out.writeStructEnd();
  } else {
    out.writeMessageBegin(name, apache::thrift::protocol::T_EXCEPTION, seqid);
    TApplicationException refused(TApplicationException::INTERNAL_ERROR,
                                  "call refused by the Quarn monitor");
    refused.write(&out);
  }
  out.writeMessageEnd();
  out.getTransport()->writeEnd();
  out.getTransport()->flush();
}

}  // namespace

const char* AnswerModeName(AnswerMode mode) {
  for (const auto& entry : kModeNames) {
    if (entry.mode == mode) return entry.name;
  }
  return "?";
}

bool ParseAnswerMode(const std::string& name, AnswerMode* mode) {
  for (const auto& entry : kModeNames) {
    if (name == entry.name) {
      *mode = entry.mode;
      return true;
    }
  }
  return false;
}

ModeProcessor::ModeProcessor(std::shared_ptr<apache::thrift::TProcessor> inner,
                             const std::atomic<AnswerMode>& mode)
    : m_pInner(std::move(inner)), m_Mode(mode) {}

bool ModeProcessor::process(std::shared_ptr<TProtocol> in, std::shared_ptr<TProtocol> out,
                            void* connectionContext) {
  // The mode that counts is the one when the call arrives, not when the
  // connection started waiting for it.
  if (!in->getTransport()->peek()) return false;
  AnswerMode mode = m_Mode.load();
  if (mode == AnswerMode::kAnswer) return m_pInner->process(in, out, connectionContext);

  // The handler still sees (and reports) the call; its reply is held back.
  auto held = std::make_shared<TBinaryProtocol>(std::make_shared<TMemoryBuffer>());
  m_pInner->process(in, held, connectionContext);
  if (mode == AnswerMode::kDrop) return false;  // the server closes the connection
  std::string name;
  TMessageType type;
  int32_t seqid = 0;
  held->readMessageBegin(name, type, seqid);
  WriteAnswer(mode, name, seqid, *out);
  return true;
}
