// BEPMessage throughput: parsing a router's report (with and without a GPS
// element) and building the internal modem's report, traces off.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "routers/BEPMessage.h"

namespace {

// A report as the internal modem's BEPMessage builds it: MI layout 3,
// RF layout 2 and IP, with typical texts.
void FillModemReport(BEPMessage* m) {
  std::lock_guard<std::mutex> hold(m->mutex);
  m->qidHigh = 0x144a2;
  m->qidLow = 0x1cd245a1;
  m->GenerateDeviceID();
  m->modelId = 0x7601;
  m->Model = "BT-5600v2";
  m->Phone = "+15551234567";
  m->serialNumber = "N684540105031003";
  m->m_ModemName = "BT-5600v2";
  m->firmwareVersion = "4.3.6.010";
  m->configVersion = "1.0";
  m->prlVersion = "58012";
  m->simCardNumber = "89014103211118510720";
  m->rssi = 75;
  m->roaming = 0;
  m->network = "LTE";
  m->provider = "Verizon Wireless";
  m->ipAddress = 0xc0a80201;
}

std::vector<unsigned char> ModemReport() {
  BEPMessage m(0);
  FillModemReport(&m);
  m.build_message();
  return m.outMessage;
}

// The modem report with an IO element and a GP element carrying two NMEA
// sentences spliced in after RF.
std::vector<unsigned char> ReportWithGps() {
  std::vector<unsigned char> report = ModemReport();
  const std::string nmea =
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
  std::vector<unsigned char> extra(21, 0);
  extra[0] = 20;
  extra.push_back(nmea.size() & 0xff);
  extra.push_back(nmea.size() >> 8);
  extra.insert(extra.end(), nmea.begin(), nmea.end());
  // IP is the last element (5 bytes): insert IO and GP before it.
  report.insert(report.end() - 5, extra.begin(), extra.end());
  report[16] = report.size() & 0xff;
  report[17] = report.size() >> 8;
  report[23] |= 0x05;  // IO code 1, GP code 1
  return report;
}

void Parse(benchmark::State& state, std::vector<unsigned char> report) {
  BEPMessage m(0);
  if (m.parse(report.data(), static_cast<int>(report.size())) != 1) {
    state.SkipWithError("report rejected");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.parse(report.data(), static_cast<int>(report.size())));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * report.size());
}

void BM_BepParse(benchmark::State& state) { Parse(state, ModemReport()); }
BENCHMARK(BM_BepParse);

void BM_BepParseWithGps(benchmark::State& state) { Parse(state, ReportWithGps()); }
BENCHMARK(BM_BepParseWithGps);

void BM_BepBuild(benchmark::State& state) {
  BEPMessage m(0);
  FillModemReport(&m);
  for (auto _ : state) benchmark::DoNotOptimize(m.build_message());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BepBuild);

}  // namespace

BENCHMARK_MAIN();
