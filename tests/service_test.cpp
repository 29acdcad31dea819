// Tests of the Quarn interface: the wire bytes of the daemon's two calls, how
// the records read back, and QuarnLink against an in-process Quarn monitor
// on a free loopback port (answers, failures, exact log lines, recovery).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <jansson.h>
#include <thrift/TToString.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

#include "Quarn.h"
#include "core/Globals.h"
#include "core/Log.h"
#include "service/QuarnLink.h"
#include "tests/QuarnVectors.h"
#include "tools/quarnmon/ModeProcessor.h"
#include "tools/quarnmon/MonitorServer.h"
#include "tools/quarnmon/QuarnMonitorHandler.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TMemoryBuffer;

namespace {

// ---------------------------------------------------------------------------
// Wire bytes

TEST(QuarnWireTest, CallsMatchHandDerivedBytes) {
  for (const QuarnVector& vector : QuarnVectors()) {
    EXPECT_EQ(ToHex(vector.callBytes()), SquashHex(vector.hex)) << vector.name;
  }
}

std::string FromHex(const std::string& hex) {
  std::string squashed = SquashHex(hex), bytes;
  for (size_t i = 0; i + 1 < squashed.size(); i += 2) {
    bytes += static_cast<char>(strtol(squashed.substr(i, 2).c_str(), nullptr, 16));
  }
  return bytes;
}

// How a peer reads a stCellularInfo body: the required model, known fields
// by id and wire type, everything else skipped.
TEST(QuarnWireTest, RecordReading) {
  const struct {
    const char* hex;
    bool valid;
    const char* shows;  // a part of Thrift's text form of the record read
  } kCases[] = {
      {"00", false, ""},                                      // no model
      {"0b0002 00000001 41 00", false, ""},                   // modemid, no model
      {"0b0001 00000000 00", true, "model=, modemid=<null>"},
      {"0b0001 00000001 58 08000e 00000005 00", true, "device_type=PLOTNODE_2_DIRECT"},
      {"0b0001 00000001 58 08000f ffffffff 00", true, "modem_state=MODEM_STATE_FAILED"},
      {"0b0001 00000001 58 020006 01 00", true, "roaming=1"},
      {"0b0001 00000001 58 0b000c 00000001 31 00", true, "gps_mode=<null>"},  // wrong type
      {"0b0001 00000001 58 080063 00000001 00", true, "model=X, modemid=<null>"},  // id 99
  };
  for (const auto& c : kCases) {
    std::string bytes = FromHex(c.hex);
    auto buffer = std::make_shared<TMemoryBuffer>(
        reinterpret_cast<uint8_t*>(&bytes[0]), bytes.size());
    TBinaryProtocol protocol(buffer);
    quarn::stCellularInfo info;
    if (!c.valid) {
      try {
        info.read(&protocol);
        ADD_FAILURE() << c.hex << " was accepted";
      } catch (const TProtocolException& e) {
        EXPECT_EQ(e.getType(), TProtocolException::INVALID_DATA) << c.hex;
      }
      continue;
    }
    EXPECT_EQ(info.read(&protocol), bytes.size()) << c.hex;
    EXPECT_NE(apache::thrift::to_string(info).find(c.shows), std::string::npos)
        << c.hex << " read as " << apache::thrift::to_string(info);
  }
}

// ---------------------------------------------------------------------------
// QuarnLink against the monitor

class QuarnLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/quarnlink.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    m_sDir = dir;
    m_pLog = std::make_unique<Log>(Log::kRotatedFile, "wanvox", (m_sDir + "/").c_str());
    m_pSavedLogger = logger;
    logger = m_pLog.get();
    debug = 0;
    StartServer(0);
  }

  void TearDown() override {
    m_pServer.reset();
    logger = m_pSavedLogger;
    m_pLog.reset();
    remove((m_sDir + "/wanvox").c_str());
    rmdir(m_sDir.c_str());
  }

  void StartServer(int port) {
    auto handler = std::make_shared<QuarnMonitorHandler>([this](const std::string& line) {
      std::lock_guard<std::mutex> hold(m_CallsLock);
      m_Calls.push_back(line);
    });
    auto processor = std::make_shared<ModeProcessor>(
        std::make_shared<quarn::QuarnProcessor>(handler), m_Mode);
    m_pServer = std::make_unique<MonitorServer>("127.0.0.1", port, processor);
    std::string error;
    m_Port = m_pServer->Start(&error);
    ASSERT_GT(m_Port, 0) << error;
  }

  std::string LogText() {
    std::ifstream file(m_sDir + "/wanvox");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> hold(m_CallsLock);
    return m_Calls;
  }

  // One field of the last call line, as compact JSON ("" when absent).
  std::string LastCallField(const char* key) {
    std::vector<std::string> calls = Calls();
    if (calls.empty()) return "no call";
    json_t* line = json_loads(calls.back().c_str(), 0, nullptr);
    json_t* value = json_object_get(line, key);
    std::string text;
    if (value != nullptr) {
      char* dumped = json_dumps(value, JSON_ENCODE_ANY | JSON_COMPACT);
      text = dumped;
      free(dumped);
    }
    json_decref(line);
    return text;
  }

  std::atomic<AnswerMode> m_Mode{AnswerMode::kAnswer};
  std::unique_ptr<MonitorServer> m_pServer;
  int m_Port = 0;

 private:
  std::string m_sDir;
  std::unique_ptr<Log> m_pLog;
  Log* m_pSavedLogger = nullptr;
  std::mutex m_CallsLock;
  std::vector<std::string> m_Calls;  // guarded by m_CallsLock
};

TEST_F(QuarnLinkTest, PublishesEachCallOnItsOwnConnection) {
  QuarnLink link("localhost", m_Port);
  EXPECT_EQ(link.SetModemInfo(NoModemRecord(), "SetMDM None Handler\r\n"), 0);
  EXPECT_EQ(LastCallField("call"), "\"SetModemInfo\"");
  EXPECT_EQ(LastCallField("model"), "\"\"");
  EXPECT_EQ(LastCallField("gps_mode"), "-1");
  EXPECT_EQ(LastCallField("device_type"), "0");
  EXPECT_EQ(LastCallField("modem_lte_registration_state"), "4");
  EXPECT_EQ(LastCallField("modem_error"), "");

  EXPECT_EQ(link.TEL_SendMDM(InternalSummary()), 0);
  EXPECT_EQ(LastCallField("call"), "\"TEL_SendMDM\"");
  EXPECT_EQ(LastCallField("OperatorCode"), "310260");
  EXPECT_EQ(LastCallField("sNetwork"), "");

  EXPECT_EQ(link.SetModemInfo(NoModemRecord(), nullptr), 0);
  EXPECT_EQ(Calls().size(), 3u);
  EXPECT_EQ(m_pServer->connections(), 3);
  EXPECT_EQ(LogText(), "");  // debug 0: no handler line
}

TEST_F(QuarnLinkTest, HandlerLineAboveDebugThree) {
  const struct {
    uint8_t level;
    const char* line;
    const char* logged;
  } kCases[] = {
      {3, "SetMDM None Handler\r\n", ""},
      {4, "SetMDM None Handler\r\n", "SetMDM None Handler\r\n"},
      {9, nullptr, ""},
  };
  size_t before = 0;
  for (const auto& c : kCases) {
    debug = c.level;
    QuarnLink link("localhost", m_Port);
    EXPECT_EQ(link.SetModemInfo(NoModemRecord(), c.line), 0);
    EXPECT_EQ(LogText().substr(before), c.logged) << int(c.level);
    before = LogText().size();
  }
}

// Each failure gives -1 and exactly one log line; the connection the failed
// call left open is replaced, so the next call gets through.
TEST_F(QuarnLinkTest, FailedAnswersAreLoggedAndTheNextCallRecovers) {
  const struct {
    AnswerMode mode;
    const char* modemInfoError;
    const char* summaryError;
  } kCases[] = {
      {AnswerMode::kNoSuccess, "Error: SetModemInfo failed: unknown result\n",
       "Error: TEL_SendMDM failed: unknown result\n"},
      {AnswerMode::kException, "Error: call refused by the Quarn monitor\n",
       "Error: call refused by the Quarn monitor\n"},
      {AnswerMode::kDrop, "Error: No more data to read.\n", "Error: No more data to read.\n"},
  };
  QuarnLink link("localhost", m_Port);
  debug = 4;
  for (const auto& c : kCases) {
    std::string before = LogText();
    m_Mode = c.mode;
    EXPECT_EQ(link.SetModemInfo(NoModemRecord(), "SetMDM None Handler\r\n"), -1);
    EXPECT_EQ(link.TEL_SendMDM(InternalSummary()), -1);
    m_Mode = AnswerMode::kAnswer;
    int connections = m_pServer->connections();
    EXPECT_EQ(link.SetModemInfo(NoModemRecord(), nullptr), 0) << AnswerModeName(c.mode);
    EXPECT_EQ(link.TEL_SendMDM(InternalSummary()), 0) << AnswerModeName(c.mode);
    EXPECT_EQ(m_pServer->connections(), connections + 2);
    EXPECT_EQ(LogText(), before + "SetMDM None Handler\r\n" + c.modemInfoError + c.summaryError)
        << AnswerModeName(c.mode);
  }
  EXPECT_EQ(Calls().size(), 12u);  // failed calls arrive too
}

TEST_F(QuarnLinkTest, ServiceDownThenBack) {
  QuarnLink link("localhost", m_Port);
  m_pServer->Stop();
  debug = 4;
  EXPECT_EQ(link.SetModemInfo(NoModemRecord(), "SetMDM None Handler\r\n"), -1);
  EXPECT_EQ(link.TEL_SendMDM(InternalSummary()), -1);
  // open() fails first, so no handler line.
  EXPECT_EQ(LogText(),
            "Error: connect() failed: Connection refused\n"
            "Error: connect() failed: Connection refused\n");

  StartServer(m_Port);
  EXPECT_EQ(link.SetModemInfo(NoModemRecord(), nullptr), 0);
  EXPECT_EQ(link.TEL_SendMDM(InternalSummary()), 0);
  EXPECT_EQ(Calls().size(), 2u);
}

// The bytes QuarnLink puts on the socket are the hand-derived ones: strict
// write, sequence id 0, nothing else on the connection.
TEST_F(QuarnLinkTest, SendsTheVectorBytes) {
  // A bare listener that takes one call's bytes and hangs up.
  std::string expected = FromHex(QuarnVectors()[1].hex);  // "no-modem"
  ASSERT_STREQ(QuarnVectors()[1].name, "no-modem");
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  socklen_t length = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ASSERT_EQ(listen(fd, 1), 0);
  std::string received;
  std::thread peer([&] {
    int connection = accept(fd, nullptr, nullptr);
    char buffer[1024];
    ssize_t n;
    while (received.size() < expected.size() &&
           (n = read(connection, buffer, sizeof(buffer))) > 0) {
      received.append(buffer, n);
    }
    close(connection);
  });
  QuarnLink link("localhost", ntohs(address.sin_port));
  EXPECT_EQ(link.SetModemInfo(NoModemRecord(), nullptr), -1);  // no answer comes
  peer.join();
  close(fd);
  EXPECT_EQ(ToHex(received), ToHex(expected));
}

}  // namespace
