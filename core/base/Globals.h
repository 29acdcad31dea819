// Process-wide state of the daemon core, all of it created before main runs.
#ifndef WANVOX_CORE_BASE_GLOBALS_H_
#define WANVOX_CORE_BASE_GLOBALS_H_

#include <atomic>
#include <cstdint>

#include "core/base/Log.h"

// Exit request. Written by the signal handler only (Wake::RequestExit, which
// also wakes them); read by the publisher loop and both router listeners.
extern std::atomic<bool> bExitApp;

// Verbosity from "-d". Written once before any thread starts, then read-only.
extern uint8_t debug;

// The verbosity levels: a line of each kind is written only when the level
// (debug, or the level a message class was built with) exceeds its constant.
constexpr uint8_t kDebugQuiet = 0;     // udev's lines about the modem it found
constexpr uint8_t kDebugDecode = 2;    // the fields a message class decodes
constexpr uint8_t kDebugStatus = 3;    // each publication's handler line, the USB ids
                                       // and properties, a received BEP report's bytes
constexpr uint8_t kDebugReceived = 4;  // each message received and forwarded, a built
                                       // BEP report's bytes, event header details
constexpr uint8_t kDebugDumps = 5;     // the bytes of forwarded messages, XML bodies

// The three loggers, created in this order at static initialisation and
// never deleted.
extern Log* lgr;     // "modem": the internal modem subsystem
extern Log* errlgr;  // "modem-errors": opened, never written
extern Log* logger;  // "wanvox": main, settings, listeners, udev

#endif  // WANVOX_CORE_BASE_GLOBALS_H_
