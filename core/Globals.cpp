#include "core/Globals.h"

std::atomic<bool> bExitApp(false);
uint8_t debug = 0;

// Defined together so that their construction order is fixed.
Log* lgr = new Log(Log::kStdout | Log::kRotatedFile, "modem");
Log* errlgr = new Log(Log::kSyslog | Log::kStdout | Log::kAppendedFile, "modem-errors");
Log* logger = new Log(Log::kStdout | Log::kRotatedFile, "wanvox");
