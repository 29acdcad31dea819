#include "core/StatusPublisher.h"

#include <sys/stat.h>
#include <fcntl.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/StatusRecords.h"
#include "core/base/Globals.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"
#include "tests/FakeClock.h"
#include "tests/QuarnVectors.h"

namespace {

const int32_t kStart = 100;  // uptime when the deadlines are first set

struct Sent {
  int32_t at;
  std::string what;  // "status", "summary" or "broadcast"
  quarn::stCellularInfo info;
  quarn::stModemInfo summary;
  std::string line;
};

class StatusPublisherTest : public ::testing::Test {
 protected:
  StatusPublisherTest() {
    args_.modem = &modem_;
    args_.bep = &bep_;
    args_.event = &event_;
    cfg_.interval = 20;
    clock_.AdvanceSeconds(kStart);
  }

  // A publisher whose outputs record what they were given and when.
  StatusPublisher Publisher() {
    StatusPublisher::Outputs outputs;
    outputs.status = [this](const quarn::stCellularInfo& info, const char* line) {
      sent_.push_back({clock_.Seconds(), "status", info, {}, line});
      return 0;
    };
    outputs.summary = [this](const quarn::stModemInfo& summary) {
      sent_.push_back({clock_.Seconds(), "summary", {}, summary, ""});
      return 0;
    };
    outputs.broadcast = [this](unsigned char*, int length) {
      sent_.push_back({clock_.Seconds(), "broadcast", {}, {}, std::to_string(length)});
      return 0;
    };
    return StatusPublisher(&args_, &cfg_, clock_.clock, wake_, outputs);
  }

  // Runs the publisher's own loop, its waits ending at the fake uptime's
  // jumps, until a wait would end at |until| or later; no wait may spin.
  void RunUntil(StatusPublisher& publisher, int32_t until) {
    clock_.onWait = [&](const Clock::Until& next) {
      if (clock_.End(next) >= until * int64_t{1000000}) Wake::RequestExit();
    };
    publisher.Run();
    bExitApp = false;
    wake_.Drain();
    EXPECT_EQ(0, clock_.behind);
  }

  std::vector<int32_t> Times(const std::string& what) const {
    std::vector<int32_t> times;
    for (const Sent& s : sent_) {
      if (s.what == what) times.push_back(s.at - kStart);
    }
    return times;
  }

  FakeClock clock_;
  Wake wake_{Wake::kExitRequest};
  CellularModem modem_;
  BEPMessage bep_{0};
  EventMessage event_{0};
  __handler_args args_;
  __cfg cfg_ = {};
  std::vector<Sent> sent_;
};

using Seconds = std::vector<int32_t>;

TEST_F(StatusPublisherTest, WithoutModemSendsTheNoModemRecordEverySixSeconds) {
  StatusPublisher publisher = Publisher();
  publisher.SetFirstDeadlines(kStart);
  RunUntil(publisher, kStart + 30);

  EXPECT_EQ(Seconds({11, 17, 23, 29}), Times("status"));
  EXPECT_EQ(Seconds({}), Times("broadcast"));
  EXPECT_EQ(Seconds({}), Times("summary"));
  EXPECT_EQ("SetMDM None Handler\r\n", sent_[0].line);
}

// Interval 0 (no summaries at all) runs in tests/e2e/test_quarn.py.
TEST_F(StatusPublisherTest, RunningModemIsBroadcastPublishedAndSummarised) {
  modem_.m_State = Running;
  modem_.m_bModemFound = true;
  StatusPublisher publisher = Publisher();
  publisher.SetFirstDeadlines(kStart);
  RunUntil(publisher, kStart + 43);

  EXPECT_EQ(Seconds({6, 12, 18, 24, 30, 36, 42}), Times("broadcast"));
  EXPECT_EQ(Seconds({11, 17, 23, 29, 35, 41}), Times("status"));
  EXPECT_EQ(Seconds({21, 42}), Times("summary"));
  EXPECT_EQ("SetMDM Internal Handler\r\n", sent_[1].line);  // after the broadcast at 6
  EXPECT_EQ("53", sent_[0].line);  // the empty internal BEP report
}

TEST_F(StatusPublisherTest, HeardRouterSilencesTheInternalModem) {
  const struct { bool bep, event; const char *model, *network; } cases[] = {
      {true, false, "BT-6800", "N/A"}, {false, true, "GX450-Sierra", "LTE net"},
      {true, true, "BT-6800", "N/A"}};  // BEP wins over events
  for (const auto& c : cases) {
    sent_.clear();
    modem_.m_State = Running;
    modem_.m_bModemFound = true;
    bep_.Model = "BT-6800";
    event_.networkText = "LTE net";
    args_.bepActive = c.bep;
    args_.eventActive = c.event;
    StatusPublisher publisher = Publisher();
    publisher.SetFirstDeadlines(clock_.Seconds());
    RunUntil(publisher, clock_.Seconds() + 22);

    ASSERT_EQ(1u, sent_.size()) << c.model;
    EXPECT_EQ("summary", sent_[0].what);
    EXPECT_EQ(c.model, sent_[0].summary.sModel);
    EXPECT_EQ(c.network, sent_[0].summary.sNetwork);
  }
}

TEST_F(StatusPublisherTest, FailedUptimeReadingKeepsTheLastOne) {
  StatusPublisher publisher = Publisher();
  publisher.SetFirstDeadlines(kStart);
  clock_.failing = true;  // its waits pause a second at a time: up to uptime 130
  RunUntil(publisher, kStart + 31);
  EXPECT_EQ(Seconds({}), Times("status"));
  clock_.failing = false;
  RunUntil(publisher, kStart + 32);
  EXPECT_EQ(Seconds({30}), Times("status"));
}

// Runs under tests/sandboxed: /etc is a scratch overlay there.
TEST_F(StatusPublisherTest, ChangedSettingsRestartStatusAndSummaryDeadlines) {
  const std::string path = DaemonSettingsPath();
  ASSERT_EQ(0, system("mkdir -p /etc/ostrel/quarn"));
  std::ofstream(path) << "{\"interval\": 20}";
  LoadConfigFromDisk(&cfg_);
  ScheduleSettingsCheck(&cfg_, kStart);
  modem_.m_State = Running;
  StatusPublisher publisher = Publisher();
  publisher.SetFirstDeadlines(kStart);

  RunUntil(publisher, kStart + 14);
  std::ofstream(path) << "{\"interval\": 7}";
  struct timespec later[2] = {{5000, 0}, {5000, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), later, 0));
  RunUntil(publisher, kStart + 40);

  // The check at 16 reloads: status at 16+11, summaries every 8 from 16.
  EXPECT_EQ(7u, cfg_.interval);
  EXPECT_EQ(Seconds({11, 27, 33, 39}), Times("status"));
  EXPECT_EQ(Seconds({24, 32}), Times("summary"));
  EXPECT_EQ(kStart + 32, cfg_.lastCheck);
  EXPECT_EQ(kStart + 47, cfg_.nextCheck);
}

// The builders give exactly the records whose bytes service_tests derives by hand.
TEST(StatusRecordsTest, RecordsAreTheHandDerivedOnes) {
  std::vector<quarn_vectors::Vector> vectors = quarn_vectors::Vectors();
  EXPECT_EQ(vectors[1].cellular, BuildNoModemRecord());

  CellularModem modem;
  modem.m_sModel = "EXS82-W";
  modem.m_sIMEI = "351234567890123";
  modem.m_sRSSI = "-71";
  modem.m_sRevision = "01.200";
  modem.m_sIPAddress = "100.72.14.9";
  modem.m_bRegistered = true;
  modem.m_sPhoneNumber = "+15551230000";
  modem.m_sNetworkType = "4G LTE";
  modem.m_Config.apn = "internet";
  modem.m_sSimId = "8901260123456789012";
  modem.m_ModemState = 255;  // stored as a byte: sent as -1
  modem.m_sModemError = "SIM failure";
  modem.m_RegState = 1;
  modem.m_SimSubState = 2;
  quarn::stCellularInfo internal = BuildInternalRecord(modem);
  quarn::stCellularInfo expected = vectors[0].cellular;
  expected.__set_current_bands(internal.current_bands);  // band texts are tested apart
  EXPECT_EQ(expected, internal);

  // The address goes out only while registered, IPv6 first.
  modem.m_sIPv6Address = "2001:db8::2";
  EXPECT_EQ("2001:db8::2", BuildInternalRecord(modem).ip);
  modem.m_bRegistered = false;
  EXPECT_EQ("", BuildInternalRecord(modem).ip);

  modem.m_OperatorCode = 310260;
  modem.m_sRegState = "Home";
  quarn::stModemInfo summary = BuildInternalSummary(modem);
  quarn::stModemInfo expectedSummary = vectors[2].modem;
  expectedSummary.__set_sCurrentBands(summary.sCurrentBands);
  EXPECT_EQ(expectedSummary, summary);
}

TEST(StatusRecordsTest, SummariesCarryTheRouterSignalText) {
  BEPMessage bep(0);
  EventMessage event(0);
  const struct { int8_t bep; const char* bepText; int event; const char* eventText; } cases[] = {
      {-75, "75", -75, "-75"}, {0, "0", 300, "44"},  // the event value's low byte, signed
      {-128, "128", 200, "-56"}};
  for (const auto& c : cases) {
    bep.rssi = c.bep;
    event.rssi = c.event;
    EXPECT_EQ(c.bepText, BuildBEPSummary(bep).sRSSI);
    EXPECT_EQ(c.eventText, BuildEventSummary(event).sRSSI);
  }
  EXPECT_FALSE(BuildBEPSummary(bep).__isset.sRegState);
  EXPECT_FALSE(BuildEventSummary(event).__isset.OperatorCode);
}

}  // namespace
