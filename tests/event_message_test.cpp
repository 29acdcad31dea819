// EventMessage: header forms, conversions, the tree walk, broken or hostile XML.
#include "routers/EventMessage.h"

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;
using namespace testing::internal;

// A datagram from router |id| with the given id type and XML body.
Bytes Event(uint8_t type, const std::string& xml, uint64_t id = 1) {
  Bytes out = {0xE1, 0, 0, 0, 0, 0, 0, 0, type, 0, 0, 0, 0, 0, 0};
  for (int i = 1; i < 8; ++i, id >>= 8) out[i] = id & 0xff;
  out.insert(out.end(), xml.begin(), xml.end());
  return out;
}

// Parses |datagram| into |m|; stderr (libxml2's complaints) goes to |errors|.
int Parse(EventMessage* m, Bytes datagram, std::string* errors = nullptr) {
  CaptureStderr();
  int result = m->parse(datagram.data(), static_cast<int>(datagram.size()));
  std::string captured = GetCapturedStderr();
  if (errors) *errors = captured;
  return result;
}

// The members that differ from a fresh object's; io flags as byte values.
std::string Dump(EventMessage& m) {
  std::lock_guard<std::mutex> hold(m.mutex);
  std::ostringstream flags, floats;
  for (auto& f : m.ioFlags) flags << (f.empty() ? "-" : std::to_string(f[0]) + f.substr(1));
  for (float f : m.floatValues) floats << f << ',';
  auto n = [](long long v) { return v ? std::to_string(v) : ""; };
  const std::string values[] = {
      m.deviceId, n(m.relayed), m.phoneNumber, n(m.rssi), m.networkType, m.ipAddress, m.networkText,
      n(m.roaming), n(m.gpsMode), flags.str() == "------" ? "" : flags.str(),
      floats.str() == "0,0,0,0," ? "" : floats.str(), m.firmware == "N/A" ? "" : m.firmware};
  std::istringstream names("dev relayed phone rssi type ip text roam gps io f fw");
  std::string out, name;
  for (const std::string& value : values) {
    if (names >> name && !value.empty()) out += " " + name + "=" + value;
  }
  return out.substr(out.empty() ? 0 : 1);
}

std::string Sts(int id, const std::string& value) {
  return "<sts id=\"" + std::to_string(id) + "\">" + value + "</sts>";
}

TEST(EventMessageTest, ReadsTheHeaderFormsAndKeepsValues) {
  const std::string body = Sts(261, "-70");
  Bytes noMarker = Event(0x01, body), tooShort = Event(0x01, "");
  noMarker[0] = 0xE0;
  tooShort.pop_back();
  const std::pair<Bytes, const char*> cases[] = {  // datagram, Dump() from "kept"; "": rejected
      {Event(0x01, body), "dev=000000000000001 rssi=-70"},
      {Event(0x01, body, 0xffffffffffffff), "dev=72057594037927935 rssi=-70"},
      {Event(0x00, body, 0x07060504030201), "dev=kept relayed=1 rssi=-70"},  // phone number form
      {Event(0x80, body), ""}, {Event(0x02, body), ""}, {noMarker, ""}, {tooShort, ""}};
  for (const auto& c : cases) {
    EventMessage m(0);
    m.deviceId = "kept";
    m.relayed = true;
    EXPECT_EQ(*c.second ? 1 : 0, Parse(&m, c.first)) << c.second;
    EXPECT_EQ(*c.second ? c.second : "dev=kept relayed=1", Dump(m));
    EXPECT_EQ(0, m.parse(nullptr, -1));
  }
  EventMessage m(0);  // nothing is reset between messages
  ASSERT_EQ(1, Parse(&m, Event(0x01, "<s>" + Sts(17, "+1555") + Sts(261, "-70") + "</s>")));
  ASSERT_EQ(1, Parse(&m, Event(0x81, Sts(261, "-80"), 2)));
  ASSERT_EQ(1, Parse(&m, Event(0x00, Sts(900, "2"))));
  EXPECT_EQ("dev=000000000000002 relayed=1 phone=+1555 rssi=-80 gps=2", Dump(m));
}

// The last rows are built to make a parser expand, recurse or reach out: each must come back
// quickly, with nothing from what it points at. The e2e router's values: tests/e2e/test_routers.py.
TEST(EventMessageTest, ConvertsElementsAnywhereInTheTree) {
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"lollollollol\">", deep(60000, 'a');
  for (int i = 1; i <= 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  for (size_t i = 0; i < deep.size(); i += 3) deep.replace(i, 3, "<a>");
  const std::pair<std::string, const char*> cases[] = {  // body, Dump() after the id
      {Sts(17, "+15551234567"), " phone=+15551234567"},  // the root element itself
      {Sts(261, " -75dBm"), " rssi=-75"}, {Sts(261, "strong"), ""},
      {Sts(264, "LTE-A"), " type=LTE-A"}, {Sts(264, "1xEV-DO Rev A"), " type=3G EVDO"},
      {Sts(259, "Network Link Down"), " roam=1"},
      {Sts(259, "Network Link Down!"), ""}, {Sts(770, "AT&amp;T"), " text=AT&T"}, {"garbage", ""},
      {"<a>" + Sts(851, "1") + Sts(852, "0") + Sts(853, " 1") + Sts(854, "1") + Sts(859, "yes") +
       Sts(860, "1") + "</a>", " io=100101"},
      {"<a>" + Sts(855, "45.5") + Sts(856, "-73.25") + Sts(857, "x") + Sts(266, "1e3") + "</a>",
       " f=45.5,-73.25,0,1000,"},
      {"<a>" + Sts(262, "-75") + Sts(858, "1") + Sts(0, "1") + "</a>", ""},
      {"<sts id=\"4294967313\">+1555</sts>", ""},  // must not wrap onto id 17
      {"<a><b><c><inf id=\"261\">-61</inf></c></b></a>", " rssi=-61"},
      {"<a><STS id=\"261\">-70</STS></a>", ""},
      {"<a><x id=\"17\">" + Sts(261, "-64") + "</x></a>", " rssi=-64"},
      {"<a><sts><inf id=\"261\">-65</inf></sts></a>", " rssi=-65"}, {"<sts id=\"x\">6</sts>", ""},
      {"<a>" + Sts(261, "-67") + "<inf id=\"261\">-68</inf></a>", " rssi=-68"},
      {"<a>" + Sts(261, "-<b>6</b>9"), " rssi=-69"},  // unclosed: recovered
      {"<!DOCTYPE a [<!ENTITY op \"Verizon\">]><a>" + Sts(770, "&op; &lt;4G&gt;") + "</a>",
       " text=Verizon <4G>"},
      {laughs + "]><a>" + Sts(17, "&l10;") + Sts(17, "&l10;") + "</a>", ""},
      {deep + Sts(17, "deep"), ""},  // past the depth limit
      {"<!DOCTYPE sts [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>" + Sts(17, "&x;"), ""},
      {"<!DOCTYPE sts SYSTEM \"http://10.0.0.1/x.dtd\">" + Sts(17, "&x;"), ""},
  };
  for (const auto& c : cases) {
    EventMessage m(0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, Parse(&m, Event(0x01, c.first))) << c.first.substr(0, 60);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(std::string("dev=000000000000001") + c.second, Dump(m)) << c.first.substr(0, 60);
  }
}

TEST(EventMessageTest, UnreadableBodyIsRejectedAfterTheHeader) {
  for (std::string body : {"", "<?xml version='1.0' encoding='x-nonsense'?><a/>"}) {
    EventMessage m(0);
    std::string errors;
    EXPECT_EQ(0, Parse(&m, Event(0x81, body), &errors));
    EXPECT_THAT(errors, testing::EndsWith("Failed to parse document\n"));
    EXPECT_EQ("dev=000000000000001 relayed=1", Dump(m));
  }
}

}  // namespace
