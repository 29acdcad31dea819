// BEPMessage: decoding tables, broken frames with their failure lines, the
// built report's bytes, round trips, device ids, the model table and the
// NMEA scan.
#include "routers/BEPMessage.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  std::istringstream in(hex);
  std::string byte;
  while (in >> byte) out.push_back(static_cast<unsigned char>(std::stoul(byte, nullptr, 16)));
  return out;
}

std::string ToHex(const unsigned char* data, size_t size) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < size; ++i) {
    snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
    out += byte;
  }
  return out;
}

// A text as it sits on the wire: its bytes in hex and a NUL.
std::string TextHex(const std::string& text) {
  return ToHex(reinterpret_cast<const unsigned char*>(text.data()), text.size()) +
         (text.empty() ? "00" : " 00");
}

// |count| zero bytes in hex.
std::string Zeros(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += i ? " 00" : "00";
  return out;
}

// A u16 length field in hex.
std::string U16(size_t value) {
  char text[8];
  snprintf(text, sizeof text, "%02zx %02zx", value & 0xff, (value >> 8) & 0xff);
  return text;
}

// A report from QID 0x1234ABCD:0 with APP 2, VER 1, SEQ 7 and EVTID 9. The
// element map is given as its four wire bytes; PKTLEN is patched to the
// datagram's length.
Bytes Report(const std::string& mapHex, const std::string& bodyHex,
             const std::string& flagsHex = "00 00") {
  Bytes out = FromHex("cd ab 34 12 00 00 00 00 " + flagsHex + " 02 01 07 00 00 00 00 00 09 00 " +
                      mapHex + " " + bodyHex);
  out[16] = out.size() & 0xff;
  out[17] = out.size() >> 8;
  return out;
}

void Add(std::ostringstream* out, const char* key, const std::string& value) {
  if (!value.empty()) *out << ' ' << key << '=' << value;
}

void Add(std::ostringstream* out, const char* key, long long value) {
  if (value != 0) *out << ' ' << key << '=' << value;
}

// Every member that differs from its value after reset(), in declaration order.
std::string Dump(BEPMessage& m) {
  std::lock_guard<std::mutex> hold(m.mutex);
  std::ostringstream out;
  out << "dev=" << m.deviceId;
  Add(&out, "esn", m.esnHex);
  if (m.app != 1) out << " app=" << int(m.app);
  if (m.ver != 1) out << " ver=" << int(m.ver);
  Add(&out, "seq", m.seq);
  Add(&out, "evt", m.evtId);
  Add(&out, "flags", m.flag3 * 100 + m.flag2 * 10 + m.flag1);
  Add(&out, "ack", m.ack);
  const int codes[] = {m.miCode, m.rfCode, m.ioCode, m.gpCode, m.goCode, m.ipCode, m.auCode, m.acCode};
  const char* names[] = {"MI", "RF", "IO", "GP", "GO", "IP", "AU", "AC"};
  for (int i = 0; i < 8; ++i) Add(&out, names[i], codes[i]);
  Add(&out, "modelId", m.modelId);
  const std::string* texts[] = {&m.Model, &m.Phone, &m.serialNumber, &m.m_ModemName,
                                &m.firmwareVersion, &m.configVersion, &m.prlVersion,
                                &m.gpsVersion, &m.rfVersion, &m.hwVersion, &m.osVersion,
                                &m.bootVersion, &m.simCardNumber};
  const char* textNames[] = {"model", "phone", "serial", "name", "fw", "cfg", "prl",
                             "gpsv", "rfv", "hw", "os", "boot", "sim"};
  for (int i = 0; i < 13; ++i) Add(&out, textNames[i], *texts[i]);
  Add(&out, "rssi", m.rssi);
  Add(&out, "roam", m.roaming);
  Add(&out, "net", m.network);
  Add(&out, "prov", m.provider);
  Add(&out, "ip", m.ipAddress);
  Add(&out, "ipText", m.ipAddressText);
  for (int i = 0; i < 4; ++i) Add(&out, ("in" + std::to_string(i)).c_str(), m.ioInputs[i]);
  for (int i = 0; i < 3; ++i) Add(&out, ("out" + std::to_string(i)).c_str(), m.ioOutputs[i]);
  for (int i = 0; i < 4; ++i) Add(&out, ("val" + std::to_string(i)).c_str(), m.ioValues[i]);
  Add(&out, "gps", m.gpsSentences);
  Add(&out, "fix", m.gpsFixQuality);
  return out.str();
}

// Parses |datagram| into |m| and returns the result and what went to stdout.
int ParseCapturing(BEPMessage* m, Bytes datagram, std::string* output) {
  testing::internal::CaptureStdout();
  int result = m->parse(datagram.data(), static_cast<int>(datagram.size()));
  *output = testing::internal::GetCapturedStdout();
  return result;
}

const char kEsnDump[] = "dev=01803451853 esn=1234ABCD app=2 seq=7 evt=9";
const std::string kGpgga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

struct DecodeCase {
  const char* name;
  Bytes datagram;
  std::string expected;  // Dump() after kEsnDump
};

TEST(BEPMessageTest, DecodesEveryLayout) {
  const std::string gps = TextHex(kGpgga);
  const DecodeCase cases[] = {
      {"empty body", Report("00 00 00 00", ""), ""},
      {"trailing bytes ignored", Report("00 00 00 00", "ff ff ff"), ""},
      {"header flags", Report("00 00 00 00", "", "f0 0f"), " flags=111 ack=1 AU=3 AC=3"},
      {"MI 1", Report("00 00 00 40", "99 " + TextHex("BT-X")), " MI=1 name=BT-X"},
      {"MI 2 known model",
       Report("00 00 00 80", "0d 00 01 76 00 00 " + TextHex("1.2") + " " + TextHex("") + " 00"),
       " MI=2 modelId=30209 name=BT-5600v2 fw=1.2"},
      {"MI 2 unknown model",
       Report("00 00 00 80", "0a 00 34 12 00 00 00 00 00"),
       " MI=2 modelId=4660 name=UNKNOWN MODEM TYPE"},
      {"MI 3", Report("00 00 00 c0",
                      "17 00 01 76 00 00 " + TextHex("M") + " " + TextHex("P") + " " +
                          TextHex("S") + " " + TextHex("N") + " " + TextHex("F") + " " +
                          Zeros(7) + " " + TextHex("C")),
       " MI=3 modelId=30209 model=M phone=P serial=S name=N fw=F sim=C"},
      {"RF 1", Report("00 00 00 10", "01 b5"), " RF=1 rssi=-75"},
      {"RF 2", Report("00 00 00 20", "0e 4b 01 " + TextHex("LTE") + " " + TextHex("Verizon")),
       " RF=2 rssi=-75 roam=1 net=LTE prov=Verizon"},
      {"IO 1", Report("00 00 00 04",
                      "14 0b ff 05 ff 01 00 00 00 02 00 00 00 03 00 00 00 ff ff ff ff"),
       " IO=1 in0=1 in1=1 in3=1 out0=1 out2=1 val0=1 val1=2 val2=3 val3=4294967295"},
      {"GP 1", Report("00 00 00 01", U16(kGpgga.size()) + " " + gps.substr(0, gps.size() - 3)),
       " GP=1 gps=" + kGpgga + " fix=1"},
      {"GO 1", Report("00 00 80 00", "04 ff ff ff ff"), " GO=2"},
      {"GO 1 read", Report("00 00 40 00", "04 ff ff ff ff"), " GO=1"},
      {"IP 1", Report("00 00 10 00", "04 01 02 a8 c0"),
       " IP=1 ip=3232236033 ipText=192.168.2.1"},
      {"AU 1", Report("00 00 00 00", "13 00 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f " +
                                         TextHex("ab"), "40 00"),
       " AU=1"},
      {"AC 1", Report("00 00 00 00", "05 00 aa bb " + TextHex("ok"), "10 00"), " AC=1"},
      // Codes 2 and 3 of GP and GO take no bytes, so the IP element starts
      // right after the RF element; AU and AC codes 2 and 3 read nothing.
      {"codes 2 and 3 consume nothing",
       Report("00 00 90 13", "01 b5 04 01 00 00 0a", "b0 00"),
       " RF=1 GP=3 GO=2 IP=1 AU=2 AC=3 rssi=-75 ip=167772161 ipText=10.0.0.1"},
      {"all elements", Report("00 00 50 55", "99 " + TextHex("N") + " 01 c4 " +
                                                 "14 " + Zeros(20) + " " +
                                                 "03 00 61 62 63 04 01 00 00 00 04 04 03 02 01"),
       " MI=1 RF=1 IO=1 GP=1 GO=1 IP=1 name=N rssi=-60 ip=16909060 ipText=1.2.3.4 gps=abc"},
  };
  for (const DecodeCase& c : cases) {
    BEPMessage m(0);
    std::string output;
    EXPECT_EQ(1, ParseCapturing(&m, c.datagram, &output)) << c.name;
    EXPECT_EQ("", output) << c.name;
    EXPECT_EQ(kEsnDump + c.expected, Dump(m)) << c.name;
  }
}

struct BrokenCase {
  const char* name;
  Bytes datagram;
  const char* failure;  // the line printed whatever the debug level
};

TEST(BEPMessageTest, RejectsBrokenFrames) {
  Bytes shortHeader = Report("00 00 00 00", "");
  shortHeader.pop_back();
  Bytes lyingPktLen = Report("00 00 00 00", "");
  lyingPktLen[16] = 25;
  Bytes version2 = Report("00 00 00 00", "");
  version2[11] = 2;
  Bytes gpsWithNul = Report("00 00 00 01", "04 00 61 00 62 63");
  const BrokenCase cases[] = {
      {"header of 23 bytes", shortHeader, ""},
      {"PKTLEN larger than the datagram", lyingPktLen, ""},
      {"VER 2", version2, ""},
      {"MI 1 unterminated text", Report("00 00 00 40", "00 41 42"), "MI"},
      {"MI 1 without its skipped byte", Report("00 00 00 40", ""), "MI"},
      {"MI 2 length without the three extra bytes", Report("00 00 00 80", "07 00 00 00 00 00 00 00 00"), "MI"},
      {"MI 2 cut in the model id", Report("00 00 00 80", "0a 00 00 00"), "MI"},
      {"MI 3 length without the terminators",
       Report("00 00 00 c0", "04 " + Zeros(18)), "MI"},
      {"MI 3 with twelve texts", Report("00 00 00 c0", "10 " + Zeros(17)), "MI"},
      {"RF 1 length 2", Report("00 00 00 10", "02 b5"), "RF"},
      {"RF 1 without its value", Report("00 00 00 10", "01"), "RF"},
      {"RF 2 lying length", Report("00 00 00 20", "05 4b 00 00 00"), "RF"},
      {"RF 2 unterminated provider", Report("00 00 00 20", "05 4b 00 00 41"), "RF"},
      {"RF 3", Report("00 00 00 30", "01 b5"), "RF"},
      {"IO 1 length 19", Report("00 00 00 04", "13 " + Zeros(20)), "IO"},
      {"IO 1 of 20 bytes", Report("00 00 00 04", "14 " + Zeros(19)), "IO"},
      {"IO 2", Report("00 00 00 08", ""), "IO"},
      {"IO 3", Report("00 00 00 0c", ""), "IO"},
      {"GP text with a NUL", gpsWithNul, "GP"},
      {"GP longer than the datagram", Report("00 00 00 01", "05 00 61 62"), "GP"},
      {"GO length 3", Report("00 00 40 00", "03 00 00 00 00"), "GO"},
      {"GO cut short", Report("00 00 40 00", "04 00 00"), "GO"},
      {"IP length 5", Report("00 00 10 00", "05 01 02 03 04"), "IP"},
      {"IP cut short", Report("00 00 10 00", "04 01 02 03"), "IP"},
      {"AU lying length", Report("00 00 00 00", "10 " + Zeros(18), "40 00"), "AU"},
      {"AU unterminated text", Report("00 00 00 00", "12 " + Zeros(17) + " 41", "40 00"), "AU"},
      {"AC lying length", Report("00 00 00 00", "02 00 00 00 00", "10 00"), "AC"},
      {"AC cut in the skipped bytes", Report("00 00 00 00", "03 00 00", "10 00"), "AC"},
  };
  for (int debugLevel : {0, 9}) {
    for (const BrokenCase& c : cases) {
      BEPMessage m(debugLevel);
      std::string output;
      EXPECT_EQ(0, ParseCapturing(&m, c.datagram, &output)) << c.name;
      const std::string line = std::string("BepMessage parse body failed : ") + c.failure + "\r\n";
      if (*c.failure == '\0') {
        EXPECT_EQ(std::string::npos, output.find("failed")) << c.name;
      } else if (debugLevel == 0) {
        EXPECT_EQ(line, output) << c.name;
      } else {
        EXPECT_EQ(line, output.substr(output.size() - std::min(output.size(), line.size())))
            << c.name;
      }
    }
  }
}

TEST(BEPMessageTest, RejectedHeaderStillUpdatesIdentity) {
  BEPMessage m(0);
  Bytes datagram = Report("00 00 00 40", "");
  datagram[11] = 3;
  EXPECT_EQ(0, m.parse(datagram.data(), static_cast<int>(datagram.size())));
  EXPECT_EQ("dev=01803451853 esn=1234ABCD app=2 ver=3 seq=7 evt=9 MI=1", Dump(m));
}

TEST(BEPMessageTest, NegativeOrEmptyLengthIsRejected) {
  BEPMessage m(4);
  unsigned char byte = 0;
  std::string output;
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, m.parse(&byte, -1));
  EXPECT_EQ(0, m.parse(&byte, 0));
  output = testing::internal::GetCapturedStdout();
  EXPECT_EQ("Message [-1]: \r\nMessage [0]: \r\n", output);
}

TEST(BEPMessageTest, RejectionKeepsWhatWasDecodedBefore) {
  BEPMessage m(0);
  std::string output;
  EXPECT_EQ(0, ParseCapturing(&m, Report("00 00 00 64", "99 " + TextHex("N") + " 0e 4b 01 " +
                                                           TextHex("LTE") + " " + TextHex("Verizon") + " 13"),
                              &output));
  EXPECT_EQ("BepMessage parse body failed : IO\r\n", output);
  EXPECT_EQ(std::string(kEsnDump) + " MI=1 RF=2 IO=1 name=N rssi=-75 roam=1 net=LTE prov=Verizon",
            Dump(m));

  // A GP element cut by a NUL keeps the text before it and its fix quality.
  EXPECT_EQ(0, ParseCapturing(&m, Report("00 00 00 01", U16(kGpgga.size() + 2) + " " + TextHex(kGpgga) + " 41"), &output));
  EXPECT_EQ(std::string(kEsnDump) + " GP=1 name=N gps=" + kGpgga + " fix=1", Dump(m));
}

TEST(BEPMessageTest, ResetKeepsIdentityTextsBetweenReports) {
  BEPMessage m(0);
  std::string output;
  ASSERT_EQ(1, ParseCapturing(&m, Report("00 00 10 60", "00 " + TextHex("N") + " 0e 4b 01 " +
                                                           TextHex("LTE") + " " + TextHex("Verizon") +
                                                           " 04 01 02 a8 c0"),
                              &output));
  ASSERT_EQ(1, ParseCapturing(&m, Report("00 00 00 00", ""), &output));
  // The MI text and ipAddressText survive; the RF texts and ipAddress do not.
  EXPECT_EQ(std::string(kEsnDump) + " name=N ipText=192.168.2.1", Dump(m));
}

TEST(BEPMessageTest, TracesHeaderAndElementsAboveLevelTwo) {
  BEPMessage m(4);
  const Bytes datagram = Report(
      "00 00 50 e5",
      "12 00 00 76 00 00 " + TextHex("M") + " " + Zeros(12) +              // MI 3
          " 0e 4b 01 " + TextHex("LTE") + " " + TextHex("Verizon") +       // RF 2
          " 14 " + Zeros(20) +                                              // IO 1
          " 01 00 24" +                                                     // GP 1
          " 04 fe ff ff ff" +                                               // GO 1
          " 04 01 02 a8 c0" +                                               // IP 1
          " 11 00 61 62 63 " + Zeros(13) + " 00" +                          // AU 1
          " 03 00 00 00 00",                                                // AC 1
      "50 01");
  std::string output;
  ASSERT_EQ(1, ParseCapturing(&m, datagram, &output));
  EXPECT_EQ("Message [117]:  " + ToHex(datagram.data(), datagram.size()) + "\r\n" +
                "QID 1234abcd:0 \n"
                "DEVID 01803451853\n"
                "APP 2 VER 1 SEQ 7 PKTLEN 75 EVTID 9\n"
                "ACK 1\n"
                "MI payload: 0x00000003\r\n"
                "ModelID 7600\n"
                "Model M\n"
                "Phone \n"
                "serialNumber \n"
                "m_ModemName \n"
                "firmwareVersion \n"
                "configVersion \n"
                "prlVersion \n"
                "gpsVersion \n"
                "rfVersion \n"
                "hwVersion \n"
                "osVersion \n"
                "bootVersion \n"
                "simCardNumber \n"
                "RF payload: 0x00000002\r\n"
                "rssi is: -75\r\n"
                "roaming is: 1\r\n"
                "network: LTE\r\n"
                "provider: Verizon\r\n"
                "found IO: 0x00000001\r\n"
                "found GP: 00000001\r\n"
                "found GO: 00000001\r\n"
                "odometer is: -2\r\n"
                "Found IP: 00000001\r\n"
                "IPAddress: 192.168.2.1\r\n"
                "Found AU: 00000001\r\n"
                "md5 hash: abc\r\n"
                "Found AC: 00000001\r\n",
            output);
}

TEST(BEPMessageTest, TracesBeginAtTheirLevels) {
  Bytes rf1 = Report("00 00 00 10", "01 b5");
  const std::string level3 =
      "QID 1234abcd:0 \nDEVID 01803451853\nAPP 2 VER 1 SEQ 7 PKTLEN 1a EVTID 9\nACK 0\n"
      "MI payload: 0x00000000\r\nRF payload: 0x00000001\r\npayload length is: 1\r\nrssi is: -75\r\n"
      "found IO: 0x00000000\r\nfound GP: 00000000\r\nfound GO: 00000000\r\nFound IP: 00000000\r\n"
      "Found AU: 00000000\r\nFound AC: 00000000\r\n";
  const struct {
    int level;
    std::string output;
  } cases[] = {{0, ""}, {2, ""}, {3, level3}};
  for (const auto& c : cases) {
    BEPMessage m(c.level);
    std::string output;
    EXPECT_EQ(1, ParseCapturing(&m, rf1, &output));
    EXPECT_EQ(c.output, output) << c.level;
  }
}

const char kEmptyReport[] =
    "78 56 34 12 00 00 00 00 00 01 01 01 00 00 00 00 35 00 09 00 00 00 10 e0 "
    "11 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "04 00 00 00 00 04 00 00 00 00";

TEST(BEPMessageTest, BuildsTheEmptyReport) {
  BEPMessage m(0);
  m.qidLow = 0x12345678;
  unsigned char* bytes = m.build_message();
  EXPECT_EQ(m.outMessage.data(), bytes);
  EXPECT_EQ(53u, m.outMessage.size());
  EXPECT_EQ(ToHex(FromHex(kEmptyReport).data(), 53), ToHex(bytes, m.outMessage.size()));
}

TEST(BEPMessageTest, BuildIncrementsSequence) {
  BEPMessage m(0);
  m.seq = 0xfffffffe;
  m.build_message();
  EXPECT_EQ("fe ff ff ff", ToHex(m.outMessage.data() + 12, 4));
  m.build_message();
  EXPECT_EQ("ff ff ff ff", ToHex(m.outMessage.data() + 12, 4));
  m.build_message();
  EXPECT_EQ("00 00 00 00", ToHex(m.outMessage.data() + 12, 4));
  EXPECT_EQ(1u, m.seq);
}

TEST(BEPMessageTest, BuildTracesAboveLevelFour) {
  BEPMessage quiet(4), loud(5);
  quiet.qidLow = loud.qidLow = 0x12345678;
  testing::internal::CaptureStdout();
  quiet.build_message();
  loud.build_message();
  const std::string expected = "SendingMessage [53]:  " +
                               ToHex(FromHex(kEmptyReport).data(), 53) + "\r\n";
  EXPECT_EQ(expected, testing::internal::GetCapturedStdout());
}

// A building object filled the way the modem thread fills it.
void Fill(BEPMessage* m) {
  m->qidHigh = 0x144a2;
  m->qidLow = 0x1cd245a1;
  m->GenerateDeviceID();
  m->app = 3;
  m->seq = 41;
  m->modelId = 0x7601;
  m->Model = "EM7565";
  m->Phone = "+15551234567";
  m->firmwareVersion = "SWI9X50C_01.14";
  m->simCardNumber = "8901260";
  m->rssi = 75;  // the magnitude: the wire carries it, the parser negates it
  m->roaming = 1;
  m->network = "LTE";
  m->provider = "T-Mobile";
  m->ipAddress = 0x0a000005;
  m->ipAddressText = "10.0.0.5";
}

TEST(BEPMessageTest, BuiltReportParsesBack) {
  BEPMessage sender(0), receiver(0);
  Fill(&sender);
  sender.build_message();
  EXPECT_EQ(1, receiver.parse(sender.outMessage.data(), static_cast<int>(sender.outMessage.size())));
  EXPECT_EQ("dev=356938035643809 app=3 seq=41 evt=9 ack=1 MI=3 RF=2 IP=1 modelId=30209 model=EM7565 "
            "phone=+15551234567 fw=SWI9X50C_01.14 sim=8901260 rssi=-75 roam=1 net=LTE prov=T-Mobile "
            "ip=167772165 ipText=10.0.0.5",
            Dump(receiver));
}

TEST(BEPMessageTest, BuildLengthsAtTheirLimits) {
  const struct {
    size_t networkSize;
    const char* rfLength;
    int parsed;
  } cases[] = {
      {251, "ff", 1},  // RF body 255 bytes: the largest the length byte holds
      {252, "00", 0},  // 256 bytes: the length byte keeps the low 8 bits
  };
  for (const auto& c : cases) {
    BEPMessage sender(0), receiver(0);
    sender.network.assign(c.networkSize, 'n');
    sender.build_message();
    ASSERT_EQ(53 + c.networkSize, sender.outMessage.size());
    EXPECT_EQ(c.rfLength, ToHex(sender.outMessage.data() + 43, 1));
    std::string output;
    EXPECT_EQ(c.parsed, ParseCapturing(&receiver, sender.outMessage, &output)) << c.networkSize;
  }

  // An MI body past 65535 bytes wraps its length and PKTLEN; the report is
  // then rejected by its header, not read past its end.
  BEPMessage sender(0), receiver(0);
  sender.Model.assign(65530, 'm');
  sender.build_message();
  ASSERT_EQ(53u + 65530, sender.outMessage.size());
  EXPECT_EQ("2f 00", ToHex(sender.outMessage.data() + 16, 2));
  EXPECT_EQ("0b 00", ToHex(sender.outMessage.data() + 24, 2));
  std::string output;
  EXPECT_EQ(0, ParseCapturing(&receiver, sender.outMessage, &output));
  EXPECT_EQ("", output);
}

TEST(BEPMessageTest, GeneratesDeviceIds) {
  const struct {
    uint32_t high, low;
    const char* deviceId;
    const char* esnDecimal;
    const char* esnHex;
  } cases[] = {
      {0, 0x1234ABCD, "01803451853", "01803451853", "1234ABCD"},
      {0, 0, "00000000000", "00000000000", "00000000"},
      {0, 0xFFFFFFFF, "25516777215", "25516777215", "FFFFFFFF"},
      {1, 705032704, "     5000000000", "kept", "kept"},
      {0x144a2, 0x1cd245a1, "356938035643809", "kept", "kept"},
  };
  for (const auto& c : cases) {
    BEPMessage m(0);
    m.esnDecimal = m.esnHex = "kept";
    m.qidHigh = c.high;
    m.qidLow = c.low;
    m.GenerateDeviceID();
    EXPECT_EQ(c.deviceId, m.deviceId) << c.low;
    EXPECT_EQ(c.esnDecimal, m.esnDecimal) << c.low;
    EXPECT_EQ(c.esnHex, m.esnHex) << c.low;
  }
}

TEST(BEPMessageTest, NamesModels) {
  const struct {
    unsigned int id;
    const char* name;
  } cases[] = {
      {0x4200, "BT-4200"},   {0x4601, "BT-4600A"},  {0x5601, "BT-5600A"},
      {0x6410, "BT-6401"},   {0x6450, "BT-6401EB"}, {0x6601, "BT-6600"},
      {0x6611, "BT-6601"},   {0x6651, "BT-6601EB"}, {0x6850, "BT-6801EB"},
      {0x7601, "BT-5600v2"}, {0x7800, "BT-4800v2"}, {0x6600, "UNKNOWN MODEM TYPE"},
      {0, "UNKNOWN MODEM TYPE"},
  };
  for (const auto& c : cases) {
    std::string name = "old";
    EXPECT_EQ(0, BEPMessage::getModelNameFromModelId(c.id, &name));
    EXPECT_EQ(c.name, name) << std::hex << c.id;
  }
}

TEST(BEPMessageTest, ScansNmeaForFixQuality) {
  const struct {
    std::string sentences;
    int expected;  // the fix quality starts at 9
  } cases[] = {
      {kGpgga, 1},
      {"", 9},
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", 9},
      {"$GPGGA,1,2,3,4,5,2,x" + kGpgga, 1},                   // the later sentence wins
      {kGpgga + "$GPGGA,1,2,3,4,5,2,x", 2},
      {"$GPGGA,1,2,3,4,5,", 9},                               // field 6 not followed by ','
      {"$GPGGA,1,2,3,4,5,6", 9},
      {"$GPGGA,1,2,3,4,5,,7", 0},                             // empty field
      {"$GPGGA,1,2,3,4,5, -3x,7", -3},
      {"GPGGA,1,2,3,4,5,4,7", 4},                             // before the first '$'
      {"$xxGPGGA,1,2,3,4,5,4,7", 4},
      {"$GPGGA,1,2,3$4,5,6,7,8,9", 9},                        // '$' ends the sentence
  };
  for (const auto& c : cases) {
    BEPMessage m(0);
    m.gpsSentences = c.sentences;
    m.gpsFixQuality = 9;
    EXPECT_EQ(1, m.ParseNMEA());
    EXPECT_EQ(c.expected, m.gpsFixQuality) << c.sentences;
  }
}

// Run under ThreadSanitizer: a reader that copies one member at a time under
// the mutex must only ever see whole values.
TEST(BEPMessageTest, ReadersSeeWholeValues) {
  BEPMessage m(0);
  Bytes first = Report("00 00 00 c0", "11 " + Zeros(18));
  Bytes second = Report("00 00 00 c0", "1a 00 00 00 00 00 " + TextHex("BT-5600v2") + " " + Zeros(12));
  std::thread parser([&] {
    for (int i = 0; i < 2000; ++i) {
      Bytes& datagram = i % 2 ? second : first;
      m.parse(datagram.data(), static_cast<int>(datagram.size()));
    }
  });
  for (int i = 0; i < 2000; ++i) {
    std::string model;
    {
      std::lock_guard<std::mutex> hold(m.mutex);
      model = m.Model;
    }
    EXPECT_TRUE(model.empty() || model == "BT-5600v2") << model;
  }
  parser.join();
}

}  // namespace
