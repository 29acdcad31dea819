// quarn_call: posts status records to Quarn on 127.0.0.1:9090 with the same
// stack the daemon uses (TSocket, TBufferedTransport, TBinaryProtocol), one
// connection per call. bench/wakeups times it as the bare call beside the
// router path, and bench/polling_baseline.py posts its records with it.
//
//   quarn_call [--count N] [--interval SECONDS] [FIELD=VALUE ...]
//
// FIELD is one of model, modemid, rssi, firmware, sim_id, network_type
// (texts) or device_type, modem_state, modem_lte_registration_state
// (numbers). One JSON line per call: {"mono": M, "result": R} or
// {"mono": M, "error": "..."}, M being CLOCK_MONOTONIC just before the
// connection is opened, the clock of the Quarn monitor's "mono".
// Run it only inside a sandbox's gateway namespace.
#include <getopt.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>

#include "Quarn.h"

namespace {

double Monotonic() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

// Returns false for a field it does not know.
bool SetField(quarn::stCellularInfo* record, const std::string& name, const char* value) {
  if (name == "model") record->__set_model(value);
  else if (name == "modemid") record->__set_modemid(value);
  else if (name == "rssi") record->__set_rssi(value);
  else if (name == "firmware") record->__set_firmware(value);
  else if (name == "sim_id") record->__set_sim_id(value);
  else if (name == "network_type") record->__set_network_type(value);
  else if (name == "device_type")
    record->__set_device_type(static_cast<quarn::eCellularDeviceTypes::type>(atoi(value)));
  else if (name == "modem_state")
    record->__set_modem_state(static_cast<quarn::eCellularModemState::type>(atoi(value)));
  else if (name == "modem_lte_registration_state")
    record->__set_modem_lte_registration_state(
        static_cast<quarn::eCellularLTERegistrationState::type>(atoi(value)));
  else return false;
  return true;
}

void CallOnce(const quarn::stCellularInfo& record) {
  using namespace apache::thrift;
  auto socket = std::make_shared<transport::TSocket>("127.0.0.1", 9090);
  auto buffered = std::make_shared<transport::TBufferedTransport>(socket);
  quarn::QuarnClient client(std::make_shared<protocol::TBinaryProtocol>(buffered));
  const double start = Monotonic();
  try {
    buffered->open();
    const int result = client.SetModemInfo(record);
    buffered->close();
    printf("{\"mono\": %.6f, \"result\": %d}\n", start, result);
  } catch (const TException& error) {
    printf("{\"mono\": %.6f, \"error\": \"%s\"}\n", start, error.what());
  }
  fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  static const struct option kLong[] = {{"count", required_argument, nullptr, 'c'},
                                        {"interval", required_argument, nullptr, 'i'},
                                        {nullptr, 0, nullptr, 0}};
  int count = 1;
  double interval = 1.0;
  int opt;
  while ((opt = getopt_long(argc, argv, "c:i:", kLong, nullptr)) != -1) {
    if (opt == 'c') count = atoi(optarg);
    else if (opt == 'i') interval = atof(optarg);
    else return 2;
  }
  quarn::stCellularInfo record;
  for (int i = optind; i < argc; ++i) {
    const char* equals = strchr(argv[i], '=');
    if (equals == nullptr ||
        !SetField(&record, std::string(argv[i], equals - argv[i]), equals + 1)) {
      fprintf(stderr, "quarn_call: unknown field in %s\n", argv[i]);
      return 2;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(interval));
    CallOnce(record);
  }
  return 0;
}
