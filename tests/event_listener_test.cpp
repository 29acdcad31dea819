// The event listener's decisions as a function of (datagram, uptime): the
// direct/relayed precedence, the record it publishes, and one loopback run.
#include "routers/EventListener.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/Globals.h"
#include "core/HandlerArgs.h"
#include "routers/EventMessage.h"
#include "tests/log_capture.h"
#include "tests/loopback_socket.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const uint8_t kPhoneForm = 0x00, kDirect = 0x01, kStaticIp = 0x80, kRelayed = 0x81;

// An event message from router id |id| with the given id type and XML body.
std::vector<unsigned char> Message(uint8_t idType, uint64_t id, const std::string& xml) {
  std::vector<unsigned char> out = {0xE1};
  for (int i = 0; i < 7; ++i) out.push_back(static_cast<unsigned char>(id >> (8 * i)));
  out.push_back(idType);
  out.insert(out.end(), 6, 0);
  out.insert(out.end(), xml.begin(), xml.end());
  return out;
}

const char kStatus[] =
    "<msg><sts id=\"17\">15551230000</sts><sts id=\"259\">Roaming Network</sts>"
    "<sts id=\"261\">-75</sts><sts id=\"264\">LTE</sts><inf id=\"301\">10.64.0.2</inf>"
    "<sts id=\"770\">Carrier</sts><sts id=\"900\">300</sts></msg>";

class EventListenerTest : public testing::Test {
 protected:
  static const int32_t kStart = 100;

  EventListenerTest()
      : clock([this](int32_t* t) { *t = now; return true; }, [](unsigned int) {}),
        listener(&args, clock, "localhost", LoopbackSocket::FreeTcpPort()) {
    args.event = &event;
    debug = 0;
  }
  ~EventListenerTest() override {
    listener.link().Close();
    debug = 0;
  }

  // Binds on loopback and starts idle at kStart; forwarded copies would go
  // to 127.0.0.3 on the same port.
  void Start() {
    port = LoopbackSocket::FreePort();
    CaptureStdout();
    listener.Start("127.0.0.1", port, "127.0.0.3");
    GetCapturedStdout();
  }

  ListenerVerdict Take(const std::vector<unsigned char>& datagram, int32_t at) {
    std::vector<unsigned char> copy(datagram);
    return listener.Consider(copy.data(), static_cast<int>(copy.size()), at);
  }

  int32_t now = kStart;
  int port = 0;
  LogCapture log{&logger};
  Clock clock;
  EventMessage event{0};
  __handler_args args;
  EventListener listener;
};

// One receive result per row at its uptime. `type` is the device type a
// publication would carry (checked only for publishing rows).
struct Row {
  int32_t at;
  uint8_t idType;  // 0xFF: nothing received
  ListenerVerdict verdict;
  int32_t type;
  bool eventActive;  // after the pass's timers ran
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << "{at " << row.at << " type 0x" << std::hex << int(row.idType) << std::dec << "}";
}

const ListenerVerdict kRefresh = ListenerVerdict::kRefreshOnly, kNothing = ListenerVerdict::kNothing,
                      kPublish = ListenerVerdict::kPublish, kDrop = ListenerVerdict::kDropped,
                      kForward = ListenerVerdict::kPublishAndForward,
                      kReject = ListenerVerdict::kRejected;

class EventPrecedenceTest : public EventListenerTest,
                            public testing::WithParamInterface<std::vector<Row>> {};

TEST_P(EventPrecedenceTest, Sequence) {
  Start();
  args.bepActive = true;  // a BEP router changes nothing here
  for (const Row& row : GetParam()) {
    std::vector<unsigned char> datagram;
    if (row.idType != 0xFF) datagram = Message(row.idType, 352099001761481ULL, kStatus);
    EXPECT_EQ(row.verdict, Take(datagram, row.at)) << "at " << row.at;
    if (row.verdict == kPublish || row.verdict == kForward) {
      EXPECT_EQ(row.type, listener.BuildRecord().device_type) << "at " << row.at;
    }
    listener.Tick(row.at);
    EXPECT_EQ(row.eventActive, args.eventActive.load()) << "at " << row.at;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EventPrecedenceTest,
    testing::Values(
        // Direct messages win over relayed copies for 30 s.
        std::vector<Row>{{101, kDirect, kRefresh, 0, false},
                         {102, kDirect, kForward, 5, true},
                         {112, kRelayed, kDrop, 0, true},
                         {132, kRelayed, kDrop, 0, true},
                         {133, kRelayed, kPublish, 6, true},
                         {134, kRelayed, kPublish, 6, true},
                         {135, kDirect, kForward, 5, true},
                         {136, kRelayed, kDrop, 0, true}},
        // Relayed copies alone are all published as remote.
        std::vector<Row>{{101, kRelayed, kRefresh, 0, false},
                         {102, kRelayed, kPublish, 6, true},
                         {110, kRelayed, kPublish, 6, true}},
        // The phone-number form follows the relayed flag the last IMEI-form
        // header left; the static-IP form is refused but still counts.
        std::vector<Row>{{101, kDirect, kRefresh, 0, false},
                         {102, kPhoneForm, kForward, 5, true},
                         {103, kRelayed, kDrop, 0, true},
                         {104, kPhoneForm, kDrop, 0, true},
                         {105, kStaticIp, kReject, 0, true},
                         {135, 0xFF, kNothing, 0, true},
                         {136, 0xFF, kNothing, 0, false},  // silent: idle again
                         {137, kRelayed, kRefresh, 0, false},
                         {138, kRelayed, kPublish, 6, true}}));

TEST_F(EventListenerTest, RecordCarriesTheLatestValues) {
  Start();
  Take(Message(kDirect, 352099001761481ULL, kStatus), 101);
  ASSERT_EQ(kForward, Take(Message(kDirect, 352099001761481ULL, kStatus), 102));
  quarn::stCellularInfo info = listener.BuildRecord();
  EXPECT_EQ("GX450-Sierra", info.model);
  EXPECT_EQ("N/A", info.firmware);
  EXPECT_EQ("10.64.0.2", info.ip);
  EXPECT_EQ("352099001761481", info.modemid);
  EXPECT_TRUE(info.roaming);
  EXPECT_EQ("-75", info.rssi);
  EXPECT_EQ("15551230000", info.phone_number);
  EXPECT_EQ("4G LTE", info.network_type);
  EXPECT_EQ("Unavailable", info.apn);
  EXPECT_EQ("Unavailable", info.sim_id);
  EXPECT_EQ(44, info.gps_mode);  // low byte of 300
  EXPECT_EQ(quarn::eCellularDeviceTypes::PLOTNODE_2_DIRECT, info.device_type);
  EXPECT_FALSE(info.__isset.age_of_data || info.__isset.current_bands ||
               info.__isset.modem_state || info.__isset.modem_error);

  // A later message with only the signal keeps every other value; the rssi
  // goes out as its low byte, signed.
  ASSERT_EQ(kForward, Take(Message(kDirect, 352099001761481ULL,
                                   "<msg><sts id=\"261\">200</sts></msg>"), 103));
  info = listener.BuildRecord();
  EXPECT_EQ("-56", info.rssi);
  EXPECT_EQ("4G LTE", info.network_type);
  EXPECT_EQ("10.64.0.2", info.ip);
}

TEST_F(EventListenerTest, MessageLineNeedsDebugAboveFour) {
  Start();
  std::vector<unsigned char> datagram = Message(kDirect, 1, "<msg/>");
  debug = 4;
  Take(datagram, 101);
  EXPECT_EQ("", log.Text());
  debug = 5;
  Take(datagram, 102);
  EXPECT_EQ("UDPHandlerEVENT Message: [" + std::to_string(datagram.size()) + "]\n", log.Text());
}

// Whole passes on loopback: the router on 127.0.0.2, the forwarded copies
// caught on 127.0.0.3, and no Quarn listening.
TEST_F(EventListenerTest, DirectMessageIsForwardedAsRelayed) {
  Start();
  LoopbackSocket router("127.0.0.2");
  LoopbackSocket neighbour("127.0.0.3", port);
  ASSERT_TRUE(neighbour.bound());
  std::vector<unsigned char> message = Message(kDirect, 352099001761481ULL, kStatus);
  debug = 5;

  ASSERT_TRUE(router.SendTo("127.0.0.1", port, message));
  listener.RunPass();
  EXPECT_TRUE(neighbour.Receive(200).empty());

  now = 101;
  ASSERT_TRUE(router.SendTo("127.0.0.1", port, message));
  listener.RunPass();
  std::vector<unsigned char> copy = neighbour.Receive();
  ASSERT_EQ(message.size(), copy.size());
  EXPECT_EQ(0x81, copy[8]);  // byte 8 bit 7: relayed
  std::vector<unsigned char> unmarked(copy);
  unmarked[8] = message[8];
  EXPECT_EQ(message, unmarked);
  // Quarn is down: one error line, and the message is still forwarded; the
  // bytes are listed only above debug level 5.
  std::string received = "UDPHandlerEVENT Message: [" + std::to_string(message.size()) + "]\n";
  std::string text = log.Text();
  size_t errorAt = text.find("Error: ");
  ASSERT_NE(std::string::npos, errorAt) << text;
  std::string error = text.substr(errorAt, text.find('\n', errorAt) + 1 - errorAt);
  EXPECT_EQ(received + received + error + "Forwarding message [" +
                std::to_string(message.size()) + "]: \r\n",
            text);

  // The neighbour's relayed copy coming back is dropped: the direct one is fresh.
  now = 102;
  ASSERT_TRUE(router.SendTo("127.0.0.1", port, copy));
  listener.RunPass();
  EXPECT_EQ(text + received, log.Text());
  EXPECT_TRUE(neighbour.Receive(200).empty());
}

}  // namespace
