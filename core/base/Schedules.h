// Every period and wait of the daemon, grouped by the thread that keeps it,
// with its unit in its name. A deadline counts whole seconds of uptime and
// is met at the first reading strictly greater than it; each thread waits for
// its earliest deadline or its own input (Clock). Constants only; any thread.
#ifndef WANVOX_CORE_BASE_SCHEDULES_H_
#define WANVOX_CORE_BASE_SCHEDULES_H_

#include <cstdint>

// Main thread: the status publisher.
constexpr uint32_t kSettingsCheckSeconds = 15;   // is the settings file changed?
constexpr uint32_t kFirstBroadcastSeconds = 5;   // the modem's BEP report, after start
constexpr uint32_t kBroadcastPeriodSeconds = 5;
constexpr uint32_t kFirstStatusSeconds = 10;     // the status record, after start or
                                                 // a settings reload
constexpr uint32_t kStatusPeriodSeconds = 5;
constexpr uint32_t kDefaultSummarySeconds = 60;  // when the settings give no interval

// Router listeners.
constexpr unsigned int kListenerIdleMicroseconds = 1000000;  // after a failed receive
constexpr int32_t kListenerSilenceSeconds = 30;    // without a datagram: idle again
constexpr int32_t kAddressRefreshSeconds = 30;     // the own address list
constexpr int32_t kDirectPrecedenceSeconds = 30;   // a direct event message outranks
                                                   // relayed copies
constexpr long kBroadcastSendTimeoutSeconds = 3;
constexpr unsigned int kBroadcastRetryMicroseconds = 5000000;  // after a failed send; a
                                                               // stop ends it

// Udev thread.
constexpr unsigned int kUdevEventGapMicroseconds = 1000000;   // at most one event a second
constexpr int32_t kManualScanSeconds = 15;         // while the modem is offline

// Modem thread.
// A stop ends either wait at once.
constexpr unsigned int kQueryRetryMicroseconds = 10000000;  // identity query failed
constexpr unsigned int kErrorWaitMicroseconds = 20000000;   // after a loss
constexpr int32_t kModemRefreshSeconds = 5;        // radio and identity refreshes
constexpr uint32_t kSignalRateSeconds = 5;         // asked of ModemManager's Signal

#endif  // WANVOX_CORE_BASE_SCHEDULES_H_
