// The BEP listener's decisions as a function of (datagram, uptime), the
// record it publishes, and one loopback run of whole passes.
#include "routers/BEPListener.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/Globals.h"
#include "core/HandlerArgs.h"
#include "routers/BEPMessage.h"
#include "tests/log_capture.h"
#include "tests/loopback_socket.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// A BEP report: MI layout 3, RF layout 2, an optional GP element and IP.
struct Report {
  bool ack = false;
  uint8_t ver = 1;
  std::string model = "BT-5830v2";
  std::string phone = "15551230000";
  std::string firmware = "4.3.1";
  uint8_t rssiMagnitude = 75;  // RF layout 2 carries -rssi
  uint8_t roaming = 0;
  std::string network = "LTE";
  std::string provider = "Carrier";
  std::string gps;                                  // NMEA text; no GP element when empty
  std::vector<unsigned char> ip = {1, 2, 168, 192};  // 192.168.2.1
  uint32_t qidLow = 705032704, qidHigh = 1;         // IMEI 5000000000
};

void Put32(std::vector<unsigned char>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void Put16(std::vector<unsigned char>* out, uint32_t v) {
  out->push_back(v & 0xff);
  out->push_back((v >> 8) & 0xff);
}
void PutText(std::vector<unsigned char>* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

std::vector<unsigned char> Encode(const Report& r) {
  std::vector<unsigned char> mi;
  Put32(&mi, 0x7601);
  const std::string texts[13] = {r.model, r.phone, "SN1", "modem", r.firmware, "", "", "",
                                 "", "", "", "", "8901"};
  for (const std::string& text : texts) PutText(&mi, text);
  std::vector<unsigned char> rf = {r.rssiMagnitude, r.roaming};
  PutText(&rf, r.network);
  PutText(&rf, r.provider);

  std::vector<unsigned char> body;
  Put16(&body, mi.size());
  body.insert(body.end(), mi.begin(), mi.end());
  body.push_back(static_cast<unsigned char>(rf.size()));
  body.insert(body.end(), rf.begin(), rf.end());
  if (!r.gps.empty()) {
    Put16(&body, r.gps.size());
    body.insert(body.end(), r.gps.begin(), r.gps.end());
  }
  body.push_back(4);
  body.insert(body.end(), r.ip.begin(), r.ip.end());

  std::vector<unsigned char> out;
  Put32(&out, r.qidLow);
  Put32(&out, r.qidHigh);
  out.push_back(0x00);                  // flags A: no AU, no AC
  out.push_back(r.ack ? 0x01 : 0x00);  // flags B
  out.push_back(1);                     // APP
  out.push_back(r.ver);
  Put32(&out, 7);                             // SEQ
  Put16(&out, 24 + body.size());             // PKTLEN
  Put16(&out, 9);                             // EVTID
  // Element map, big-endian: IP 1, MI 3, RF 2, GP 1 when present.
  out.insert(out.end(), {0x00, 0x00, 0x10, static_cast<unsigned char>(r.gps.empty() ? 0xE0 : 0xE1)});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

class BEPListenerTest : public testing::Test {
 protected:
  static const int32_t kStart = 100;

  BEPListenerTest()
      : clock([this](int32_t* t) { *t = now; return true; },
              [this](unsigned int us) { sleeps.push_back(us); }),
        listener(&args, clock, "localhost", LoopbackSocket::FreeTcpPort()) {
    args.bep = &bep;
    debug = 0;
  }
  ~BEPListenerTest() override {
    listener.link().Close();
    debug = 0;
  }

  // Binds on loopback and starts idle at kStart; forwarded copies would go
  // to 127.0.0.3 on the same port.
  int Start() {
    port = LoopbackSocket::FreePort();
    CaptureStdout();
    listener.Start("127.0.0.1", port, "127.0.0.3");
    GetCapturedStdout();
    return port;
  }

  ListenerVerdict Take(const std::vector<unsigned char>& datagram, int32_t at) {
    std::vector<unsigned char> copy(datagram);
    return listener.Consider(copy.data(), static_cast<int>(copy.size()), at);
  }

  int32_t now = kStart;
  int port = 0;
  std::vector<unsigned int> sleeps;
  LogCapture log{&logger};
  Clock clock;
  BEPMessage bep{0};
  __handler_args args;
  BEPListener listener;
};

TEST(BEPListenerDeviceType, FollowsAckFlagAndModel) {
  struct Row {
    bool ack;
    const char* model;
    int32_t type;
  } rows[] = {
      {false, "BT-5600v2", 7}, {false, "BT-5630v2", 7}, {false, "BT-5800v2", 7},
      {false, "BT-5830v2", 7}, {false, "GX450-Sierra", 1}, {false, "bt-5830v2", 1},
      {false, "", 1},          {true, "BT-5600v2", 8},  {true, "BT-5830v2", 8},
      {true, "GX450-Sierra", 6}, {true, "BT-6600", 3},  {true, "", 3},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.type, BEPListener::DeviceType(row.ack, row.model))
        << row.ack << " " << row.model;
  }
}

// One receive result per row, at its uptime; bepActive is checked after the
// pass's timers ran.
TEST_F(BEPListenerTest, IdleActiveAndSilence) {
  Start();
  Report acked;
  acked.ack = true;
  Report wrongVersion;
  wrongVersion.ver = 2;
  const std::vector<unsigned char> valid = Encode(Report()), none;

  struct Row {
    int32_t at;
    const std::vector<unsigned char> datagram;
    bool eventActive;
    ListenerVerdict verdict;
    bool bepActive;
  } rows[] = {
      {101, valid, false, ListenerVerdict::kRefreshOnly, false},  // first after start
      {102, valid, false, ListenerVerdict::kPublishAndForward, true},
      {103, Encode(acked), false, ListenerVerdict::kPublish, true},
      {104, Encode(wrongVersion), false, ListenerVerdict::kRejected, true},  // still counts
      {134, none, false, ListenerVerdict::kNothing, true},  // 30 s: not yet silent
      {135, none, false, ListenerVerdict::kNothing, false},
      {136, valid, false, ListenerVerdict::kRefreshOnly, false},
      {137, valid, false, ListenerVerdict::kPublishAndForward, true},
      {138, valid, true, ListenerVerdict::kNothing, true},  // event router wins
      {167, valid, true, ListenerVerdict::kNothing, true},
      {168, valid, true, ListenerVerdict::kNothing, false},  // idle though reports come
      {169, valid, false, ListenerVerdict::kRefreshOnly, false},
  };
  for (const Row& row : rows) {
    args.eventActive = row.eventActive;
    EXPECT_EQ(row.verdict, Take(row.datagram, row.at)) << "at " << row.at;
    listener.Tick(row.at);
    EXPECT_EQ(row.bepActive, args.bepActive.load()) << "at " << row.at;
  }
}

TEST_F(BEPListenerTest, AddressListRefreshesEveryThirtySeconds) {
  Start();
  struct Row {
    int32_t at;
    bool due;
  } rows[] = {{101, false}, {130, false}, {131, true}, {131, false},
              {161, false}, {162, true},  {250, true}, {251, false}};
  for (const Row& row : rows) EXPECT_EQ(row.due, listener.Tick(row.at)) << "at " << row.at;
}

TEST_F(BEPListenerTest, MessageLineNeedsDebugAboveFour) {
  Start();
  std::vector<unsigned char> datagram = Encode(Report());
  debug = 4;
  Take(datagram, 101);
  EXPECT_EQ("", log.Text());
  debug = 5;
  Take(datagram, 102);
  EXPECT_EQ("UDPHandlerBEP Message: [" + std::to_string(datagram.size()) + "]\n", log.Text());
}

TEST_F(BEPListenerTest, RecordCarriesTheReport) {
  Start();
  Report report;
  report.rssiMagnitude = 75;
  report.roaming = 1;
  // Fix quality 300: only its low byte (44) is sent.
  report.gps = "$GPGGA,123519,4807.038,N,01131.000,E,300,08,0.9,545.4,M,46.9,M,,*47";
  std::vector<unsigned char> datagram = Encode(report);
  Take(datagram, 101);
  ASSERT_EQ(ListenerVerdict::kPublishAndForward, Take(datagram, 102));

  quarn::stCellularInfo info = listener.BuildRecord();
  EXPECT_EQ("BT-5830v2", info.model);
  EXPECT_EQ("4.3.1", info.firmware);
  EXPECT_EQ("192.168.2.1", info.ip);
  EXPECT_EQ("     5000000000", info.modemid);
  EXPECT_TRUE(info.roaming);
  EXPECT_EQ("-75", info.rssi);
  EXPECT_EQ("15551230000", info.phone_number);
  EXPECT_EQ("LTE", info.network_type);
  EXPECT_EQ("Unavailable", info.apn);
  EXPECT_EQ("Unavailable", info.sim_id);
  EXPECT_EQ(44, info.gps_mode);
  EXPECT_EQ(quarn::eCellularDeviceTypes::PLOTNODE_1_DIRECT, info.device_type);
  EXPECT_TRUE(info.__isset.modemid && info.__isset.roaming && info.__isset.gps_mode &&
              info.__isset.device_type);
  EXPECT_FALSE(info.__isset.age_of_data || info.__isset.current_bands ||
               info.__isset.modem_state || info.__isset.modem_error ||
               info.__isset.modem_lte_registration_state ||
               info.__isset.modem_sim_subscription_state);
}

// The log lines of a forwarded datagram at debug level 6.
std::string ForwardLines(const std::vector<unsigned char>& bytes) {
  std::string lines = "Forwarding message [" + std::to_string(bytes.size()) + "]: ";
  for (unsigned char byte : bytes) {
    char hex[8];
    snprintf(hex, sizeof(hex), " %02x", byte);
    lines += hex;
  }
  return lines + "\r\n";
}

// The first "Error: ...\n" line of |text|, or "Error: " when there is none.
std::string ErrorLine(const std::string& text) {
  size_t at = text.find("Error: ");
  if (at == std::string::npos) return "Error: ";
  return text.substr(at, text.find('\n', at) + 1 - at);
}

// Whole passes on loopback: a "router" on 127.0.0.2, the forwarded copies
// caught on 127.0.0.3, and no Quarn listening.
TEST_F(BEPListenerTest, PassesPublishAndForwardOnce) {
  Start();
  LoopbackSocket router("127.0.0.2");
  LoopbackSocket neighbour("127.0.0.3", port);
  ASSERT_TRUE(neighbour.bound());
  std::vector<unsigned char> report = Encode(Report());
  std::string received = "UDPHandlerBEP Message: [" + std::to_string(report.size()) + "]\n";
  debug = 6;

  ASSERT_TRUE(router.SendTo("127.0.0.1", port, report));
  listener.RunPass();
  EXPECT_EQ(received, log.Text());
  EXPECT_FALSE(args.bepActive);

  now = 101;
  ASSERT_TRUE(router.SendTo("127.0.0.1", port, report));
  listener.RunPass();
  EXPECT_TRUE(args.bepActive);
  std::vector<unsigned char> copy = neighbour.Receive();
  ASSERT_EQ(report.size(), copy.size());
  EXPECT_EQ(0x01, copy[9]);  // byte 9 bit 0: the ACK flag
  std::vector<unsigned char> unmarked(copy);
  unmarked[9] = report[9];
  EXPECT_EQ(report, unmarked);
  // Quarn is down: one error line, and the report is still forwarded.
  std::string text = log.Text();
  std::string error = ErrorLine(text);
  EXPECT_EQ(received + received + error + ForwardLines(copy), text);

  // A copy with the ACK flag set is published but never forwarded again.
  now = 102;
  ASSERT_TRUE(router.SendTo("127.0.0.1", port, copy));
  listener.RunPass();
  EXPECT_EQ(text + received + error, log.Text());
  EXPECT_TRUE(neighbour.Receive(300).empty());
}

TEST_F(BEPListenerTest, UnboundPortPausesAndIsRetried) {
  auto holder = std::make_unique<LoopbackSocket>("127.0.0.1");
  testing::internal::CaptureStderr();
  listener.Start("127.0.0.1", holder->port(), "127.0.0.3");
  EXPECT_EQ("connect failed. Error: Address already in use\n",
            testing::internal::GetCapturedStderr());
  ASSERT_FALSE(listener.link().endpoint().connected());

  listener.RunPass();
  EXPECT_EQ(std::vector<unsigned int>{1000000}, sleeps);

  holder.reset();
  now = kStart + 31;  // the address refresh also retries the bind
  CaptureStdout();
  listener.RunPass();
  EXPECT_EQ("Connected\n", GetCapturedStdout());
  EXPECT_TRUE(listener.link().endpoint().connected());
}

TEST_F(BEPListenerTest, RunReturnsOnceExitIsRequested) {
  Start();
  bExitApp = true;
  listener.Run();
  bExitApp = false;
  EXPECT_FALSE(listener.link().endpoint().connected());
  EXPECT_FALSE(listener.link().endpoint().broadcast_connected());
}

}  // namespace
