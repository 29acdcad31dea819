#include "core/base/Globals.h"

#include <cstdio>

std::atomic<bool> bExitApp(false);
uint8_t debug = 0;

// Standard output is the journal under systemd: line buffering hands each
// line over as it is written, so it arrives in time and a crash loses none.
// setvbuf must precede any output on the stream, hence here, before the
// loggers below exist.
[[maybe_unused]] static const int stdoutLineBuffered = setvbuf(stdout, nullptr, _IOLBF, 0);

// Defined together so that their construction order is fixed.
Log* lgr = new Log(Log::kStdout | Log::kRotatedFile, kModemLog);
Log* errlgr = new Log(Log::kSyslog | Log::kStdout | Log::kAppendedFile, kModemErrorLog);
Log* logger = new Log(Log::kStdout | Log::kRotatedFile, kDaemonLog);
