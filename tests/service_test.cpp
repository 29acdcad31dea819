// The Quarn interface: the wire bytes of the daemon's two calls, the answers' limits, and
// QuarnLink against an in-process Quarn monitor on a free loopback port.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/TConfiguration.h>
#include <thrift/transport/TBufferTransports.h>

#include "Quarn.h"
#include "core/base/Globals.h"
#include "service/QuarnLink.h"
#include "service/ReconnectingTransport.h"
#include "service/ReplyCheckingProtocol.h"
#include "tests/QuarnVectors.h"
#include "tests/log_capture.h"
#include "tools/quarnmon/ModeProcessor.h"
#include "tools/quarnmon/MonitorServer.h"
#include "tools/quarnmon/QuarnMonitorHandler.h"

namespace {

const char kHandlerLine[] = "SetMDM None Handler\r\n";

// Hex digits, spaced for reading; Squash drops the spaces, Bytes reads them back.
std::string Squash(std::string hex) {
  hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
  return hex;
}
std::string Hex(const std::string& bytes) {
  std::string hex;
  char digits[3];
  for (unsigned char b : bytes) hex.append(digits, snprintf(digits, sizeof(digits), "%02x", b));
  return hex;
}
std::string Bytes(const std::string& spacedHex) {
  std::string bytes, hex = Squash(spacedHex);
  for (size_t i = 0; i < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), 0, 16));
  return bytes;
}

// What QuarnLink puts on the socket for each vector, and nothing else.
TEST(QuarnWireTest, LinkSendsTheHandDerivedBytes) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t size = sizeof(at);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), size), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
  timeval patience = {5, 0};  // for a connection or bytes that never come
  setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof(patience));
  for (const quarn_vectors::Vector& v : quarn_vectors::Vectors()) {
    QuarnLink link("localhost", ntohs(at.sin_port));
    std::thread publisher([&link, &v] {  // no answer comes: the connection is hung up on
      EXPECT_EQ(v.summary ? link.TEL_SendMDM(v.modem) : link.SetModemInfo(v.cellular, nullptr), -1);
    });
    int connection = accept(listener, nullptr, nullptr);
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof(patience));
    std::string received(Squash(v.hex).size() / 2, '\0');
    recv(connection, &received[0], received.size(), MSG_WAITALL);
    char more;
    EXPECT_EQ(recv(connection, &more, 1, MSG_DONTWAIT), -1) << v.name;
    close(connection);
    publisher.join();
    EXPECT_EQ(Hex(received), Squash(v.hex)) << v.name;
  }
  close(listener);
}

// Thrift counts the strings read through the buffer (each answer's name) against
// the message size and never resets the count on this transport: open() must, or a
// long-lived link fails every call once the count runs out.
TEST(ReconnectingTransportTest, EachOpenStartsAFreshMessageSizeCount) {
  auto memory = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
  auto transport = std::make_shared<ReconnectingTransport>(
      memory, std::make_shared<apache::thrift::TConfiguration>(100));
  apache::thrift::protocol::TBinaryProtocol reader(transport), writer(memory);
  std::string name;
  for (int answer = 0; answer < 10; ++answer) {  // 120 bytes of names in all
    transport->open();
    writer.writeString(std::string("SetModemInfo"));
    EXPECT_EQ(reader.readString(name), 16u);
  }
}

// Answer headers after a call to "SetModemInfo" (12 letters): only a reply or an exception for
// that method passes, in the strict or the old form; a refused one before its name is read.
TEST(ReplyCheckingProtocolTest, AcceptsOnlyAnswersToTheCall) {
  const struct { const char* name; const char* hex; const char* refusal; } kCases[] = {
      {"strict reply", "80010002 0000000c 5365744d6f64656d496e666f 00000007", nullptr},
      {"strict exception", "80010003 0000000c 5365744d6f64656d496e666f 00000000", nullptr},
      {"old reply", "0000000c 5365744d6f64656d496e666f 02 00000000", nullptr},
      {"other method", "80010002 0000000c 4765744d6f64656d496e666f 00000000",
       "answer is not for SetModemInfo"},
      {"a call", "80010001 0000000c 5365744d6f64656d496e666f 00000000",
       "answer to SetModemInfo is not a reply"},
      {"2 GiB old name", "7ffffff0 67617262616765", "answer is not for SetModemInfo"},
      {"2 GiB strict name", "80010002 7ffffff0 67617262616765", "answer is not for SetModemInfo"},
      {"bad version", "80020002 0000000c", "Bad version identifier"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    ReplyCheckingProtocol checking(buffer);
    apache::thrift::protocol::TProtocol& protocol = checking;  // as the client holds it
    protocol.writeMessageBegin("SetModemInfo", apache::thrift::protocol::T_CALL, 0);
    buffer->resetBuffer();
    const std::string bytes = Bytes(c.hex);
    buffer->write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::string name;
    apache::thrift::protocol::TMessageType type;
    int32_t seqid = -1;
    try {
      EXPECT_EQ(protocol.readMessageBegin(name, type, seqid), bytes.size());
      EXPECT_EQ(c.refusal, nullptr);
      EXPECT_EQ(name, "SetModemInfo");
    } catch (const apache::thrift::TException& e) {
      EXPECT_STREQ(e.what(), c.refusal ? c.refusal : "(accepted)");
    }
  }
}

// An answer's fields the client does not know are skipped: claims at the
// limits pass, claims over them fail before anything is allocated.
TEST(ReplyCheckingProtocolTest, LimitsStringsAndContainers) {
  using apache::thrift::protocol::TType;
  const struct { const char* name; TType type; std::string hex; bool passes; } kCases[] = {
      {"64 KiB string", TType::T_STRING, "00010000" + std::string(2 * 65536, '7'), true},
      {"64 KiB + 1 string", TType::T_STRING, "00010001 7777", false},
      {"4096 empty structs", TType::T_LIST, "0c 00001000" + std::string(2 * 4096, '0'), true},
      {"4097 empty structs", TType::T_LIST, "0c 00001001 00", false},
      {"2^31 - 1 map entries", TType::T_MAP, "0b0b 7fffffff", false},
      {"4097 set elements", TType::T_SET, "08 00001001", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = Bytes(c.hex);
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    buffer->write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ReplyCheckingProtocol protocol(buffer);
    try {
      EXPECT_EQ(protocol.skip(c.type), bytes.size());
      EXPECT_TRUE(c.passes);
    } catch (const apache::thrift::protocol::TProtocolException& e) {
      EXPECT_STREQ(e.what(), c.passes ? "(passes)" : "TProtocolException: Exceeded size limit");
    }
  }
}

class QuarnLinkTest : public ::testing::Test {
 protected:
  QuarnLinkTest() { debug = 4; }
  void SetUp() override { Serve(0); }

  // A fresh monitor on |port| (0: any free one), answering as m_Mode says.
  void Serve(int port) {
    auto handler = std::make_shared<QuarnMonitorHandler>([](const std::string&) {});
    auto processor = std::make_shared<ModeProcessor>(
        std::make_shared<quarn::QuarnProcessor>(handler), m_Mode);
    m_pServer = std::make_unique<MonitorServer>("127.0.0.1", port, processor);
    std::string error;
    m_Port = m_pServer->Start(&error);
    ASSERT_GT(m_Port, 0) << error;
  }

  const std::vector<quarn_vectors::Vector> m_Vectors = quarn_vectors::Vectors();
  const quarn::stCellularInfo& m_NoModem = m_Vectors[1].cellular;
  const quarn::stModemInfo& m_Summary = m_Vectors[2].modem;
  LogCapture m_Log{&logger};
  std::atomic<AnswerMode> m_Mode{AnswerMode::kAnswer};
  std::unique_ptr<MonitorServer> m_pServer;
  int m_Port = 0;
};

// Each publication has a connection of its own; the handler line is logged
// only when given and with debug above 3.
TEST_F(QuarnLinkTest, PublishesOnFreshConnections) {
  const struct { uint8_t level; const char* line; const char* logged; } kCases[] = {
      {3, kHandlerLine, ""}, {4, kHandlerLine, kHandlerLine}, {9, nullptr, ""}};
  QuarnLink link("localhost", m_Port);
  for (const auto& c : kCases) {
    debug = c.level;
    SCOPED_TRACE(int(c.level));
    std::string before = m_Log.Text();
    EXPECT_EQ(link.SetModemInfo(m_NoModem, c.line), 0);
    EXPECT_EQ(link.TEL_SendMDM(m_Summary), 0);
    EXPECT_EQ(m_Log.Text(), before + c.logged);
  }
  EXPECT_EQ(m_pServer->connections(), 6);
}

// A failure gives -1 and its one "Error: " line; the next publication starts a new connection,
// also to a service that was down and is back.
// Answers over the size limits: ReplyCheckingProtocolTest and tests/e2e/test_quarn.py.
TEST_F(QuarnLinkTest, FailuresAreLoggedAndTheNextPublicationRecovers) {
  const struct { AnswerMode mode; const char* setError; const char* mdmError; } kCases[] = {
      {AnswerMode::kNoSuccess, "Error: SetModemInfo failed: unknown result\n",
       "Error: TEL_SendMDM failed: unknown result\n"},
      {AnswerMode::kException, "Error: call refused by the Quarn monitor\n",
       "Error: call refused by the Quarn monitor\n"},
      {AnswerMode::kDrop, "Error: No more data to read.\n", "Error: No more data to read.\n"},
      {AnswerMode::kGarbage, "Error: answer is not for SetModemInfo\n",
       "Error: answer is not for TEL_SendMDM\n"},
  };
  QuarnLink link("localhost", m_Port);
  for (const auto& c : kCases) {
    SCOPED_TRACE(AnswerModeName(c.mode));
    std::string before = m_Log.Text();
    m_Mode = c.mode;
    EXPECT_EQ(link.SetModemInfo(m_NoModem, kHandlerLine), -1);
    EXPECT_EQ(link.TEL_SendMDM(m_Summary), -1);
    EXPECT_EQ(m_Log.Text(), before + kHandlerLine + c.setError + c.mdmError);
    m_Mode = AnswerMode::kAnswer;
    int connections = m_pServer->connections();
    EXPECT_EQ(link.SetModemInfo(m_NoModem, nullptr), 0);
    EXPECT_EQ(link.TEL_SendMDM(m_Summary), 0);
    EXPECT_EQ(m_pServer->connections(), connections + 2);
  }
  m_pServer->Stop();
  const std::string before = m_Log.Text();
  EXPECT_EQ(link.SetModemInfo(m_NoModem, kHandlerLine), -1);
  EXPECT_EQ(link.TEL_SendMDM(m_Summary), -1);
  const std::string refused = "Error: connect() failed: Connection refused\n";
  EXPECT_EQ(m_Log.Text(), before + refused + refused);  // open() failed first: no handler line
  Serve(m_Port);
  EXPECT_EQ(link.SetModemInfo(m_NoModem, nullptr), 0);
  EXPECT_EQ(link.TEL_SendMDM(m_Summary), 0);
}

}  // namespace
