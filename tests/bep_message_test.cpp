// BEPMessage: decoding, broken frames, what a rejection keeps, the built report.
#include "routers/BEPMessage.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;

// Hex bytes between spaces; "00*5" repeats a byte, 'abc is a text and its NUL.
Bytes FromHex(const std::string& hex) {
  Bytes out;
  std::istringstream in(hex);
  for (std::string token; in >> token;) {
    size_t star = token.find('*');
    if (token[0] == '\'') {
      out.insert(out.end(), token.c_str() + 1, token.c_str() + token.size() + 1);  // and its NUL
    } else {
      out.insert(out.end(), star == std::string::npos ? 1 : std::stoul(token.substr(star + 1)),
                 std::stoul(token.substr(0, star), nullptr, 16));
    }
  }
  return out;
}

// A report from QID 0x1234ABCD:0, APP 2, VER 1, SEQ 7, EVTID 9, with the
// element map's four wire bytes; PKTLEN is the datagram's length.
Bytes Report(const std::string& map, const std::string& body, const std::string& flags = "00 00") {
  Bytes out = FromHex("cd ab 34 12 00*4 " + flags + " 02 01 07 00*5 09 00 " + map + " " + body);
  out[16] = out.size() & 0xff;
  out[17] = out.size() >> 8;
  return out;
}

// Every member that differs from its value after reset(), in declaration order.
std::string Dump(BEPMessage& m) {
  std::lock_guard<std::mutex> hold(m.mutex);
  auto n = [](long long v, long long none = 0) { return v == none ? "" : std::to_string(v); };
  const std::string values[] = {
      m.deviceId, m.esnHex, n(m.app, 1), n(m.ver, 1), n(m.seq), n(m.evtId),
      n(m.flag3 * 100 + m.flag2 * 10 + m.flag1), n(m.ack), n(m.miCode), n(m.rfCode), n(m.ioCode),
      n(m.gpCode), n(m.goCode), n(m.ipCode), n(m.auCode), n(m.acCode), n(m.modelId), m.Model,
      m.Phone, m.serialNumber, m.m_ModemName, m.firmwareVersion, m.configVersion, m.prlVersion,
      m.gpsVersion, m.rfVersion, m.hwVersion, m.osVersion, m.bootVersion, m.simCardNumber,
      n(m.rssi), n(m.roaming), m.network, m.provider, n(m.ipAddress), m.ipAddressText,
      n(m.ioInputs[0] * 1000 + m.ioInputs[1] * 100 + m.ioInputs[2] * 10 + m.ioInputs[3]),
      n(m.ioOutputs[0] * 100 + m.ioOutputs[1] * 10 + m.ioOutputs[2]), n(m.ioValues[0]),
      n(m.ioValues[1]), n(m.ioValues[2]), n(m.ioValues[3]), m.gpsSentences, n(m.gpsFixQuality)};
  std::istringstream names(
      "dev esn app ver seq evt flags ack MI RF IO GP GO IP AU AC modelId model phone serial name "
      "fw cfg prl gpsv rfv hw os boot sim rssi roam net prov ip ipText in out val0 val1 val2 val3 "
      "gps fix");
  std::string out, name;
  for (const std::string& value : values) {
    if (names >> name && !value.empty()) out += " " + name + "=" + value;
  }
  return out.substr(1);
}

int Parse(BEPMessage* m, Bytes datagram, std::string* output) {
  testing::internal::CaptureStdout();
  int result = m->parse(datagram.data(), static_cast<int>(datagram.size()));
  *output = testing::internal::GetCapturedStdout();
  return result;
}

const std::string kEsn = "dev=01803451853 esn=1234ABCD app=2 seq=7 evt=9";
const std::string kRF2 = "0e 4b 01 'LTE 'Verizon";  // rssi -75, roaming

TEST(BEPMessageTest, DecodesEveryLayout) {
  const std::pair<Bytes, std::string> cases[] = {  // datagram, Dump() after kEsn
      {Report("00 00 00 00", "ff ff", "f0 0f"), " flags=111 ack=1 AU=3 AC=3"},  // bytes ignored
      {Report("00 00 00 80", "0d 00 01 76 00 00 '1.2 00 00"),
       " MI=2 modelId=30209 name=BT-5600v2 fw=1.2"},
      {Report("00 00 00 80", "0a 00 34 12 00*5"), " MI=2 modelId=4660 name=UNKNOWN MODEM TYPE"},
      {Report("00 00 00 c0", "17 00 01 76 00 00 'M 'P 'S 'N 'F 00*7 'C"),
       " MI=3 modelId=30209 model=M phone=P serial=S name=N fw=F sim=C"},
      {Report("00 00 00 20", kRF2), " RF=2 rssi=-75 roam=1 net=LTE prov=Verizon"},
      {Report("00 00 00 04", "14 0b ff 05 ff 01 00 00 00 02 00 00 00 03 00 00 00 ff ff ff ff"),
       " IO=1 in=1101 out=101 val0=1 val1=2 val2=3 val3=4294967295"},
      {Report("00 00 00 01", "0e 00 '$GPGGA,,,,,,2,"), " GP=1 gps=$GPGGA,,,,,,2, fix=2"},
      {Report("00 00 00 00", "13 00 00*16 'ab", "40 00"), " AU=1"},
      {Report("00 00 00 00", "05 00 aa bb 'ok", "10 00"), " AC=1"},
      {Report("00 00 90 13", "01 b5 04 01 00 00 0a", "b0 00"),  // codes 2, 3 take no bytes
       " RF=1 GP=3 GO=2 IP=1 AU=2 AC=3 rssi=-75 ip=167772161 ipText=10.0.0.1"},
      {Report("00 00 50 55", "99 'N 01 c4 14 00*20 03 00 61 62 63 04 01 00*3 04 04 03 02 01"),
       " MI=1 RF=1 IO=1 GP=1 GO=1 IP=1 name=N rssi=-60 ip=16909060 ipText=1.2.3.4 gps=abc"},
  };
  for (const auto& c : cases) {
    BEPMessage m(0);
    std::string output;
    EXPECT_EQ(1, Parse(&m, c.first, &output)) << c.second;
    EXPECT_EQ("", output);
    EXPECT_EQ(kEsn + c.second, Dump(m));
  }
}

TEST(BEPMessageTest, RejectsBrokenFrames) {
  Bytes shortHeader = Report("00 00 00 00", ""), lyingPktLen = shortHeader, version2 = shortHeader;
  shortHeader.pop_back();
  lyingPktLen[16] = 25;
  version2[11] = 2;
  const std::pair<Bytes, std::string> cases[] = {  // datagram, failed element ("": silent)
      {shortHeader, ""}, {lyingPktLen, ""}, {version2, ""}, {Report("00 00 00 40", ""), "MI"},
      {Report("00 00 00 40", "00 41 42"), "MI"}, {Report("00 00 00 80", "07 00 00*7"), "MI"},
      {Report("00 00 00 80", "0a 00 00 00"), "MI"}, {Report("00 00 00 c0", "10 00*17"), "MI"},
      {Report("00 00 00 c0", "04 00*18"), "MI"},  // L without the terminators
      {Report("00 00 00 10", "02 b5"), "RF"}, {Report("00 00 00 10", "01"), "RF"},
      {Report("00 00 00 20", "05 4b 00*3"), "RF"}, {Report("00 00 00 20", "05 4b 00 00 41"), "RF"},
      {Report("00 00 00 30", "01 b5"), "RF"}, {Report("00 00 00 04", "13 00*20"), "IO"},
      {Report("00 00 00 04", "14 00*19"), "IO"}, {Report("00 00 00 08", ""), "IO"},
      {Report("00 00 00 01", "04 00 61 00 62 63"), "GP"}, {Report("00 00 00 01", "05 00 61"), "GP"},
      {Report("00 00 40 00", "03 00*4"), "GO"}, {Report("00 00 40 00", "04 00 00"), "GO"},
      {Report("00 00 10 00", "05 01 02 03 04"), "IP"}, {Report("00 00 10 00", "04 01 02 03"), "IP"},
      {Report("00 00 00 00", "10 00*18", "40 00"), "AU"},
      {Report("00 00 00 00", "12 00*17 41", "40 00"), "AU"},
      {Report("00 00 00 00", "02 00*4", "10 00"), "AC"},
      {Report("00 00 00 00", "03 00 00", "10 00"), "AC"}};
  for (const auto& c : cases) {
    BEPMessage m(0);
    std::string out;
    EXPECT_EQ(0, Parse(&m, c.first, &out)) << c.second << c.first.size();
    EXPECT_EQ(c.second.empty() ? "" : "BepMessage parse body failed : " + c.second + "\r\n", out);
  }
}

TEST(BEPMessageTest, RejectionKeepsWhatWasDecodedBefore) {
  BEPMessage m(0);
  unsigned char byte = 0;
  EXPECT_EQ(0, m.parse(&byte, -1) + m.parse(&byte, 0));
  std::string output;
  EXPECT_EQ(0, Parse(&m, Report("00 00 00 64", "99 'N " + kRF2 + " 13"), &output));
  EXPECT_EQ("BepMessage parse body failed : IO\r\n", output);
  EXPECT_EQ(kEsn + " MI=1 RF=2 IO=1 name=N rssi=-75 roam=1 net=LTE prov=Verizon", Dump(m));
  // The MI texts, ipAddressText and gpsSentences survive the next report.
  EXPECT_EQ(1, Parse(&m, Report("00 00 10 01", "03 00 61 62 63 04 01 02 a8 c0"), &output));
  EXPECT_EQ(1, Parse(&m, Report("00 00 00 00", ""), &output));
  EXPECT_EQ(kEsn + " name=N ipText=192.168.2.1 gps=abc", Dump(m));
}

TEST(BEPMessageTest, BuildsAReportThatParsesBack) {
  BEPMessage built(0), parsed(0);
  built.qidLow = 0x12345678;
  built.seq = 0xffffffff;
  built.build_message();
  EXPECT_EQ(FromHex("78 56 34 12 00*5 01 01 01 ff ff ff ff 35 00 09 00 00 00 10 e0 11 00*18 "
                    "04 00*4 04 00*4"),
            built.outMessage);
  built.qidHigh = 0x144a2;
  built.qidLow = 0x1cd245a1;
  built.app = 3;
  built.modelId = 0x7601;
  built.Model = "EM7565";
  built.Phone = "+15551234567";
  built.simCardNumber = "8901260";
  built.rssi = 75;  // the magnitude: the parser negates it
  built.roaming = 1;
  built.network = "LTE";
  built.provider = "T-Mobile";
  built.ipAddress = 0x0a000005;
  built.build_message();
  EXPECT_EQ(1u, built.seq);
  EXPECT_EQ(1, parsed.parse(built.outMessage.data(), static_cast<int>(built.outMessage.size())));
  EXPECT_EQ("dev=356938035643809 app=3 evt=9 ack=1 MI=3 RF=2 IP=1 modelId=30209 model=EM7565 "
            "phone=+15551234567 sim=8901260 rssi=-75 roam=1 net=LTE prov=T-Mobile ip=167772165 "
            "ipText=10.0.0.5",
            Dump(parsed));
}

}  // namespace
