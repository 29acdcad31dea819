// The listeners' verdicts per (datagram, uptime); the loop, its sockets and the records: e2e.
#include "routers/BEPListener.h"
#include "routers/EventListener.h"

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"

namespace {

using Bytes = std::vector<unsigned char>;
using V = ListenerVerdict;

// A BEP report of a BT-5830v2 router (its model decides the device type), IMEI 5000000000,
// with flags byte B |ack| and version |ver|.
Bytes BepReport(uint8_t ack, uint8_t ver = 1) {
  BEPMessage m(0);
  m.qidHigh = 1;
  m.qidLow = 705032704;
  m.Model = "BT-5830v2";
  m.build_message();
  m.outMessage[9] = ack;
  m.outMessage[11] = ver;
  return m.outMessage;
}

// An event message of router 352099001761481 with id type |type| and RSSI 200; 0xFF: none.
Bytes EventReport(uint8_t type) {
  const std::string datagram = std::string("\xE1\xc9\xfe\xec\x6f\x3b\x40\x01", 8) + char(type) +
                               std::string(6, 0) + "<msg><sts id=\"261\">200</sts></msg>";
  return type == 0xFF ? Bytes() : Bytes(datagram.begin(), datagram.end());
}

// A listener's decisions from uptime 100 on: the flags it is given and what it publishes.
class ListenerTest : public testing::Test {
 protected:
  template <typename L>
  static V Take(L& listener, Bytes datagram, int32_t at) {
    return listener.Consider(datagram.data(), static_cast<int>(datagram.size()), at);
  }
  // The device type published after |verdict|; 0 when nothing is published.
  template <typename L>
  static int32_t Published(L& listener, V verdict) {
    const bool publishes = verdict == V::kPublish || verdict == V::kPublishAndForward;
    return publishes ? listener.BuildRecord().device_type : 0;
  }

  BEPMessage bep{0};
  EventMessage event{0};
  std::atomic<bool> bepActive{false}, eventActive{false};
};
using BEPListenerTest = ListenerTest;
using EventListenerTest = ListenerTest;

TEST_F(BEPListenerTest, IdleActiveSilenceAndRefresh) {
  BEPListener listener(bep, bepActive, eventActive);
  listener.Start(100);
  const Bytes valid = BepReport(0), acked = BepReport(1), version2 = BepReport(0, 2), none;
  // type: device_type of a publication; bepActive, refreshDue: after the pass's timers ran.
  const struct { int32_t at; const Bytes& datagram; bool eventActive; V verdict; int32_t type;
                 bool bepActive, refreshDue; } rows[] = {
      {101, valid, false, V::kRefreshOnly, 0, false, false},  // first after start
      {102, valid, false, V::kPublishAndForward, 7, true, false},
      {103, acked, false, V::kPublish, 8, true, false},
      {104, version2, false, V::kRejected, 0, true, false},  // still counts
      {130, none, false, V::kNothing, 0, true, false},
      {131, none, false, V::kNothing, 0, true, true},   // every 30 s
      {134, none, false, V::kNothing, 0, true, false},  // 30 s: not yet silent
      {135, none, false, V::kNothing, 0, false, false},
      {136, valid, false, V::kRefreshOnly, 0, false, false},
      {137, valid, false, V::kPublishAndForward, 7, true, false},
      {138, acked, true, V::kNothing, 0, true, false},  // an event router wins
      {161, acked, true, V::kNothing, 0, true, false},
      {168, acked, true, V::kNothing, 0, false, true},  // idle though reports come
  };
  for (const auto& row : rows) {
    eventActive = row.eventActive;
    const V verdict = Take(listener, row.datagram, row.at);
    EXPECT_EQ(row.verdict, verdict) << "at " << row.at;
    EXPECT_EQ(row.type, Published(listener, verdict)) << "at " << row.at;
    EXPECT_EQ(row.refreshDue, listener.Tick(row.at)) << "at " << row.at;
    EXPECT_EQ(row.bepActive, bepActive.load()) << "at " << row.at;
  }
  // The other fields of both records: tests/e2e/test_routers.py.
  bep.gpsFixQuality = 300;  // only its low byte goes out
  EXPECT_EQ(44, listener.BuildRecord().gps_mode);
  EXPECT_EQ("     5000000000", listener.BuildRecord().modemid);  // padded to an IMEI's 15
}

// The timers' work, with datagrams at 101, 102, 200 and 201: passes every second against
// waits for NextDeadline (or a datagram) fire at the same readings.
TEST_F(BEPListenerTest, DeadlineWaitsFireAtThePollingReadings) {
  const Bytes valid = BepReport(0);
  const std::vector<int32_t> datagrams = {101, 102, 200, 201};
  auto run = [&](bool polling) {
    BEPListener listener(bep, bepActive, eventActive);
    listener.Start(100);
    std::vector<std::string> work;
    size_t next = 0;
    for (int32_t now = 100; now < 240;) {
      const int32_t end = polling ? now + 1 : listener.NextDeadline() + 1;
      const bool datagram = next < datagrams.size() && datagrams[next] <= end;
      now = datagram ? datagrams[next++] : end;
      if (now >= 240) break;
      if (datagram) Take(listener, valid, now);
      const bool wasHeard = bepActive;
      if (listener.Tick(now)) work.push_back("refresh " + std::to_string(now));
      if (wasHeard && !bepActive) work.push_back("idle " + std::to_string(now));
    }
    return work;
  };
  const std::vector<std::string> polled = run(true);
  EXPECT_EQ((std::vector<std::string>{"refresh 131", "idle 133", "refresh 162", "refresh 193",
                                      "refresh 224", "idle 232"}),
            polled);
  EXPECT_EQ(polled, run(false));
}

TEST_F(EventListenerTest, RelayedCopiesWaitThirtySecondsAfterADirectMessage) {
  EventListener listener(event, eventActive);
  listener.Start(100);
  // idType: 0x00 phone number, 0x01 direct, 0x80 static IP, 0x81 relayed, 0xFF none.
  const struct { int32_t at; uint8_t idType; V verdict; int32_t type; bool eventActive; } rows[] = {
      {100, 0x81, V::kRefreshOnly, 0, false},
      {100, 0x81, V::kPublish, 6, true},  // no direct message yet
      {101, 0x00, V::kPublish, 6, true},  // as the last IMEI-form header left it
      {102, 0x01, V::kPublishAndForward, 5, true},
      {103, 0x00, V::kPublishAndForward, 5, true},
      {104, 0x81, V::kDropped, 0, true},
      {106, 0x80, V::kRejected, 0, true},
      {133, 0x81, V::kDropped, 0, true},
      {134, 0x81, V::kPublish, 6, true},  // 31 s after the last direct one
      {135, 0x01, V::kPublishAndForward, 5, true},
      {136, 0x81, V::kDropped, 0, true},
      {167, 0xFF, V::kNothing, 0, false},  // nothing for 31 s: idle
  };
  for (const auto& row : rows) {
    const V verdict = Take(listener, EventReport(row.idType), row.at);
    EXPECT_EQ(row.verdict, verdict) << "at " << row.at;
    EXPECT_EQ(row.type, Published(listener, verdict)) << "at " << row.at;
    listener.Tick(row.at);
    EXPECT_EQ(row.eventActive, eventActive.load()) << "at " << row.at;
  }
  EXPECT_EQ("-56", listener.BuildRecord().rssi);  // 200 as its low byte, signed
}

}  // namespace
