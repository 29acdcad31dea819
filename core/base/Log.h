// Log: one named log destination (syslog, standard output, a rotated or an
// appended file under /var/log/). Any thread; each printf call is atomic
// against the other calls on the same object.
#ifndef WANVOX_CORE_BASE_LOG_H_
#define WANVOX_CORE_BASE_LOG_H_

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/base/Site.h"

class Log {
 public:
  // Output bits, as requested from and stored by the constructor.
  enum : uint8_t {
    kSyslog = 1,
    kStdout = 2,
    kRotatedFile = 4,   // rotated and emptied when the logger is created
    kAppendedFile = 8,  // appended to across restarts
  };
  static const int kKeptCopies = 25;
  static const size_t kBufferSize = 8192;

  // Opens the requested outputs; a bit is kept only if its output opened.
  // A null name gives no file output. Files live in |dir| (default
  // kLogDirectory), which tests point elsewhere.
  Log(uint8_t outputs, const char* name, const char* dir = kLogDirectory);
  virtual ~Log();

  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // Formats one message and writes it to every open output. A message of
  // 8192 characters or more, or one that fails to format, is dropped.
  // Syslog receives text only once it holds a line feed.
  void printf(uint8_t priority, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  // Shifts path.1..path.24 up by one, drops path.25 and moves path to path.1.
  static void rotate(const char* path);

  uint8_t outputs() const { return m_Outputs; }
  const std::string& path() const { return m_sPath; }

 private:
  std::mutex m_Lock;    // guards everything below while printf runs
  uint8_t m_Outputs;
  std::string m_sPath;
  char* m_pBuffer;      // kBufferSize bytes from malloc
  FILE* m_pFile;
  std::string m_sSyslogLine;  // collected until it holds a line feed
};

#endif  // WANVOX_CORE_BASE_LOG_H_
