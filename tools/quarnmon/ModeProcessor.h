// ModeProcessor: the Quarn monitor's dispatcher. It hands every call to the
// generated QuarnProcessor (whose handler reports it) and then answers it
// the way the monitor is told to. Shared by all connection threads of the server; the mode may change
// at any time from another thread.
#ifndef WANVOX_TOOLS_QUARNMON_MODEPROCESSOR_H_
#define WANVOX_TOOLS_QUARNMON_MODEPROCESSOR_H_

#include <atomic>
#include <memory>
#include <string>

#include <thrift/TProcessor.h>

enum class AnswerMode {
  kAnswer,      // a normal reply with `success`
  kNoSuccess,   // a reply without field 0: the caller sees "<method> failed: unknown result"
  kException,   // an exception message (TApplicationException)
  kDrop,        // the call is read, then the connection is closed unanswered
  kSilent,      // the call is read and never answered; the connection stays open
  kGarbage,     // the answer claims a 2 GiB method name; the connection stays open
  kWrongName,   // a well-formed reply for another method; the connection stays open
  kHugeString,  // a reply claiming a 2 GiB string; the connection stays open
  kHugeList,    // a reply claiming a list of 2^31 - 1 structs; the connection stays open
};

// "answer", "no-success", "exception", "drop", "silent", "garbage", "wrong-name",
// "huge-string", "huge-list".
const char* AnswerModeName(AnswerMode mode);
// Returns false and leaves *mode alone for an unknown name.
bool ParseAnswerMode(const std::string& name, AnswerMode* mode);

class ModeProcessor : public apache::thrift::TProcessor {
 public:
  // |mode| must outlive the processor.
  ModeProcessor(std::shared_ptr<apache::thrift::TProcessor> inner,
                const std::atomic<AnswerMode>& mode);

  bool process(std::shared_ptr<apache::thrift::protocol::TProtocol> in,
               std::shared_ptr<apache::thrift::protocol::TProtocol> out,
               void* connectionContext) override;

 private:
  std::shared_ptr<apache::thrift::TProcessor> m_pInner;
  const std::atomic<AnswerMode>& m_Mode;
};

#endif  // WANVOX_TOOLS_QUARNMON_MODEPROCESSOR_H_
