// EventMessage: header forms, element conversions, the tree walk, traces,
// and broken or hostile XML bodies.
#include "routers/EventMessage.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;

// A datagram from router id 1 with the given id type and XML body.
Bytes Event(uint8_t type, const std::string& xml) {
  Bytes out = {0xE1, 0x01, 0, 0, 0, 0, 0, 0, type, 0, 0, 0, 0, 0, 0};
  out.insert(out.end(), xml.begin(), xml.end());
  return out;
}

Bytes Sts(const std::string& elements) {
  return Event(0x01, "<?xml version=\"1.0\"?><status>" + elements + "</status>");
}

int Parse(EventMessage* m, Bytes datagram) {
  return m->parse(datagram.data(), static_cast<int>(datagram.size()));
}

// The decoded values, with the io flags as digits.
std::string Dump(EventMessage& m) {
  std::lock_guard<std::mutex> hold(m.mutex);
  std::string flags;
  for (const std::string& flag : m.ioFlags) {
    flags += flag.empty() ? "-" : flag.size() == 1 && flag[0] < 2 ? std::string(1, '0' + flag[0]) : "?";
  }
  char floats[96];
  snprintf(floats, sizeof floats, "%g,%g,%g,%g", m.floatValues[0], m.floatValues[1],
           m.floatValues[2], m.floatValues[3]);
  return "dev=" + m.deviceId + " relayed=" + std::to_string(m.relayed) + " phone=" +
         m.phoneNumber + " rssi=" + std::to_string(m.rssi) + " type=" + m.networkType +
         " ip=" + m.ipAddress + " text=" + m.networkText + " roam=" + std::to_string(m.roaming) +
         " gps=" + std::to_string(m.gpsMode) + " io=" + flags + " f=" + floats +
         " fw=" + m.firmware;
}

const char kFresh[] = " phone= rssi=0 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A";

TEST(EventMessageTest, ReadsTheHeaderForms) {
  const struct {
    const char* name;
    Bytes header;
    int result;
    const char* identity;  // deviceId and relayed afterwards
  } cases[] = {
      {"IMEI form", {0xE1, 1, 0, 0, 0, 0, 0, 0, 0x01}, 1, "dev=000000000000001 relayed=0"},
      {"relayed IMEI form", {0xE1, 1, 0, 0, 0, 0, 0, 0, 0x81}, 1, "dev=000000000000001 relayed=1"},
      {"largest id", {0xE1, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}, 1,
       "dev=72057594037927935 relayed=0"},
      {"byte 1 lowest", {0xE1, 0xa1, 0x45, 0xd2, 0x1c, 0xa2, 0x44, 0x01, 0x01}, 1,
       "dev=356938035643809 relayed=0"},
      {"phone-number form", {0xE1, 1, 2, 3, 4, 5, 6, 7, 0x00}, 1, "dev=kept relayed=1"},
      {"relayed phone-number form", {0xE1, 1, 0, 0, 0, 0, 0, 0, 0x80}, 0, "dev=kept relayed=1"},
      {"unknown form", {0xE1, 1, 0, 0, 0, 0, 0, 0, 0x02}, 0, "dev=kept relayed=1"},
      {"unknown relayed form", {0xE1, 1, 0, 0, 0, 0, 0, 0, 0x82}, 0, "dev=kept relayed=1"},
      {"no marker", {0xE0, 1, 0, 0, 0, 0, 0, 0, 0x01}, 0, "dev=kept relayed=1"},
  };
  const std::string body = "<s><sts id=\"261\">-70</sts></s>";
  for (const auto& c : cases) {
    EventMessage m(0);
    m.deviceId = "kept";
    m.relayed = true;
    Bytes datagram = c.header;
    datagram.resize(15);
    datagram.insert(datagram.end(), body.begin(), body.end());
    EXPECT_EQ(c.result, Parse(&m, datagram)) << c.name;
    EXPECT_EQ(c.identity, Dump(m).substr(0, Dump(m).find(" phone="))) << c.name;
    EXPECT_EQ(c.result ? -70 : 0, m.rssi) << c.name;
  }
}

TEST(EventMessageTest, ShortDatagramIsRejectedUnread) {
  EventMessage m(9);
  Bytes datagram = Event(0x01, "");
  datagram.pop_back();
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, Parse(&m, datagram));
  EXPECT_EQ(0, m.parse(datagram.data(), -1));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ("dev= relayed=0", Dump(m).substr(0, Dump(m).find(" phone=")));
}

TEST(EventMessageTest, ConvertsElements) {
  const struct {
    const char* elements;
    const char* expected;  // Dump() after the identity
  } cases[] = {
      {"<sts id=\"17\">+15551234567</sts>", " phone=+15551234567 rssi=0 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"261\">-75</sts>", " phone= rssi=-75 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"261\"> -75dBm</sts>", " phone= rssi=-75 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"261\">strong</sts>", " phone= rssi=0 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"264\">LTE</sts>", " phone= rssi=0 type=4G LTE ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"264\">LTE-A</sts>", " phone= rssi=0 type=LTE-A ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"264\">1xEV-DO Rev A</sts>", " phone= rssi=0 type=3G EVDO ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"264\">HSPA+</sts>", " phone= rssi=0 type=HSPA+ ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"259\">Network Link Down</sts>", " phone= rssi=0 type= ip= text= roam=1 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"259\">Roaming Network</sts>", " phone= rssi=0 type= ip= text= roam=1 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"259\">Network Ready</sts>", " phone= rssi=0 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"259\">Network Link Down!</sts>", " phone= rssi=0 type= ip= text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"301\">10.1.2.3</sts>", " phone= rssi=0 type= ip=10.1.2.3 text= roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"770\">AT&amp;T</sts>", " phone= rssi=0 type= ip= text=AT&T roam=0 gps=0 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"900\">3</sts>", " phone= rssi=0 type= ip= text= roam=0 gps=3 io=------ f=0,0,0,0 fw=N/A"},
      {"<sts id=\"851\">1</sts><sts id=\"852\">0</sts><sts id=\"853\"> 1</sts><sts id=\"854\">1</sts>"
       "<sts id=\"859\">yes</sts><sts id=\"860\">1</sts>",
       " phone= rssi=0 type= ip= text= roam=0 gps=0 io=100101 f=0,0,0,0 fw=N/A"},
      {"<sts id=\"855\">45.5</sts><sts id=\"856\">-73.25</sts><sts id=\"857\">x</sts><sts id=\"266\">1e3</sts>",
       " phone= rssi=0 type= ip= text= roam=0 gps=0 io=------ f=45.5,-73.25,0,1000 fw=N/A"},
      {"<sts id=\"262\">-75</sts><sts id=\"858\">1</sts><sts id=\"0\">1</sts>", kFresh},
      // An id beyond int's range must not wrap around onto a known id.
      {"<sts id=\"4294967313\">+1555</sts>", kFresh},
  };
  for (const auto& c : cases) {
    EventMessage m(0);
    EXPECT_EQ(1, Parse(&m, Sts(c.elements))) << c.elements;
    EXPECT_EQ(std::string("dev=000000000000001 relayed=0") + c.expected, Dump(m)) << c.elements;
  }
}

TEST(EventMessageTest, WalksTheWholeTree) {
  const struct {
    const char* name;
    const char* xml;
    int rssi;
  } cases[] = {
      {"inf three levels deep", "<a><b><c><inf id=\"261\">-61</inf></c></b></a>", -61},
      {"root itself", "<sts id=\"261\">-62</sts>", -62},
      {"other element with an id", "<a><x id=\"261\">-63</x></a>", 0},
      {"sts inside another element with an id", "<a><x id=\"17\"><sts id=\"261\">-64</sts></x></a>", -64},
      {"sts without id: its children count", "<a><sts><inf id=\"261\">-65</inf></sts></a>", -65},
      {"id that is not a number", "<a><sts id=\"rssi\">-66</sts></a>", 0},
      {"later element wins", "<a><sts id=\"261\">-67</sts><inf id=\"261\">-68</inf></a>", -68},
      {"content of the descendants", "<a><sts id=\"261\">-<b>6</b>9</sts></a>", -69},
      {"names are case-sensitive", "<a><STS id=\"261\">-70</STS></a>", 0},
      {"no value elements", "<a><b/></a>", 0},
      {"unclosed document is recovered", "<a><sts id=\"261\">-71", -71},
      {"text without a root element", "garbage", 0},
  };
  for (const auto& c : cases) {
    EventMessage m(0);
    testing::internal::CaptureStderr();  // libxml2's own complaints
    EXPECT_EQ(1, Parse(&m, Event(0x01, c.xml))) << c.name;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.rssi, m.rssi) << c.name;
  }
}

TEST(EventMessageTest, KeepsValuesBetweenMessages) {
  EventMessage m(0);
  ASSERT_EQ(1, Parse(&m, Sts("<sts id=\"17\">+1555</sts><sts id=\"261\">-70</sts>"
                             "<sts id=\"770\">Verizon</sts>")));
  Bytes relayed = Event(0x81, "<s><sts id=\"261\">-80</sts></s>");
  relayed[1] = 2;
  ASSERT_EQ(1, Parse(&m, relayed));
  ASSERT_EQ(1, Parse(&m, Event(0x00, "<s><sts id=\"900\">2</sts></s>")));
  EXPECT_EQ("dev=000000000000002 relayed=1 phone=+1555 rssi=-80 type= ip= text=Verizon roam=0 "
            "gps=2 io=------ f=0,0,0,0 fw=N/A",
            Dump(m));
}

TEST(EventMessageTest, UnreadableBodyIsRejectedAfterTheHeader) {
  for (const char* body : {"", "<?xml version='1.0' encoding='x-nonsense'?><a/>"}) {
    EventMessage m(0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, Parse(&m, Event(0x81, body)));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ("Failed to parse document\n",
              errors.substr(errors.size() - std::min<size_t>(errors.size(), 25)));
    EXPECT_EQ("dev=000000000000001 relayed=1", Dump(m).substr(0, Dump(m).find(" phone=")));
  }
}

TEST(EventMessageTest, TracesByLevel) {
  const std::string body = "<s><sts id=\"261\">-75</sts><inf id=\"9\">x</inf></s>";
  Bytes imei = Event(0x01, body);
  imei[1] = 0xab;
  imei[7] = 0x01;
  const std::string imei5 = "LTE device id is: 010000000000ab\n";
  const std::string imei6 = "This looks like a IMEI/ESN\n" + imei5 + "XML: " + body +
                            "\nid: 261 value: -75\nid: 9 value: x\n";
  Bytes phone = Event(0x00, body);
  for (int i = 1; i <= 7; ++i) phone[i] = static_cast<unsigned char>(i);
  const std::string phone5 = "This looks like a phone number\nPhone number is 460293 16909060\n";
  const struct {
    int level;
    Bytes datagram;
    std::string output;
  } cases[] = {
      {4, imei, ""},
      {5, imei, imei5},
      {6, imei, imei6},
      {4, phone, ""},
      {5, phone, phone5},
      {5, Event(0x80, body), "This looks like a static IP address\n"},
      {5, Event(0x7f, body), "Unknown type\n"},
      {4, Event(0x80, body), ""},
  };
  for (const auto& c : cases) {
    EventMessage m(static_cast<uint8_t>(c.level));
    testing::internal::CaptureStdout();
    m.parse(const_cast<unsigned char*>(c.datagram.data()), static_cast<int>(c.datagram.size()));
    EXPECT_EQ(c.output, testing::internal::GetCapturedStdout()) << c.level << ' ' << int(c.datagram[8]);
  }
}

// Bodies built to make a parser expand, recurse or reach out: each must come
// back quickly without leaking what it points at into a member.
TEST(EventMessageTest, SurvivesHostileXml) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"lollollollol\">";
  for (int i = 1; i <= 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><a><sts id=\"17\">&l10;</sts><sts id=\"17\">&l10;</sts></a>";
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<a>";
  deep += "<sts id=\"17\">deep</sts>";
  const struct {
    const char* name;
    std::string xml;
  } cases[] = {
      {"billion laughs", laughs},
      {"external entity", "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
                          "<a><sts id=\"17\">&x;</sts></a>"},
      {"external DTD", "<!DOCTYPE a SYSTEM \"http://10.0.0.1/x.dtd\"><a><sts id=\"17\">&x;</sts></a>"},
      {"value elements inside an entity", "<!DOCTYPE a [<!ENTITY x \"<sts id='17'>inner</sts>\">]><a>&x;</a>"},
      {"nesting past the depth limit", deep},
  };
  for (const auto& c : cases) {
    EventMessage m(0);
    const auto start = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    Parse(&m, Event(0x01, c.xml));
    testing::internal::GetCapturedStderr();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.name;
    EXPECT_EQ("", m.phoneNumber) << c.name;
  }
}

TEST(EventMessageTest, ExpandsOrdinaryEntities) {
  EventMessage m(0);
  ASSERT_EQ(1, Parse(&m, Event(0x01, "<!DOCTYPE a [<!ENTITY op \"Verizon\">]>"
                                     "<a><sts id=\"770\">&op; &lt;LTE&gt;</sts></a>")));
  EXPECT_EQ("Verizon <LTE>", m.networkText);
}

}  // namespace
