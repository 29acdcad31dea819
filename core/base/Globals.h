// Process-wide state of the daemon core, all of it created before main runs.
#ifndef WANVOX_CORE_BASE_GLOBALS_H_
#define WANVOX_CORE_BASE_GLOBALS_H_

#include <atomic>
#include <cstdint>

#include "core/base/Log.h"

// Exit request. Written by the signal handler only; read by the publisher
// loop and both router listeners.
extern std::atomic<bool> bExitApp;

// Verbosity from "-d". Written once before any thread starts, then read-only.
extern uint8_t debug;

// The three loggers, created in this order at static initialisation and
// never deleted.
extern Log* lgr;     // "modem": the internal modem subsystem
extern Log* errlgr;  // "modem-errors": opened, never written
extern Log* logger;  // "wanvox": main, settings, listeners, udev

#endif  // WANVOX_CORE_BASE_GLOBALS_H_
