#include "core/base/Log.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

Log::Log(uint8_t outputs, const char* name, const char* dir)
    : m_Outputs(0), m_pBuffer(nullptr), m_pFile(nullptr) {
  if (name != nullptr) m_sPath = PathIn(dir, name);

  if (outputs & kSyslog) {
    openlog(nullptr, 0, LOG_USER);
    m_Outputs |= kSyslog;
  }
  if (outputs & kStdout) m_Outputs |= kStdout;
  if ((outputs & kRotatedFile) && !m_sPath.empty()) {
    rotate(m_sPath.c_str());
    // Appending, although the file is new and empty after the rotation: a
    // size-based rotation with copytruncate empties the file under the
    // running daemon, and only an O_APPEND handle then writes at its new end
    // instead of leaving a hole of NUL bytes up to the old offset.
    m_pFile = fopen(m_sPath.c_str(), "a");
    if (m_pFile != nullptr) m_Outputs |= kRotatedFile;
  }
  // Both file outputs share one handle: a rotated file wins over an
  // appended one.
  if ((outputs & kAppendedFile) && !m_sPath.empty() && m_pFile == nullptr) {
    m_pFile = fopen(m_sPath.c_str(), "a+");
    if (m_pFile != nullptr) m_Outputs |= kAppendedFile;
  }
  m_pBuffer = static_cast<char*>(malloc(kBufferSize));
}

Log::~Log() {
  free(m_pBuffer);
  if (m_pFile != nullptr) fclose(m_pFile);
  if (m_Outputs & kSyslog) closelog();
}

void Log::rotate(const char* path) {
  std::string base(path);
  for (int n = kKeptCopies; n >= 1; --n) {
    std::string older = base + "." + std::to_string(n);
    if (n == kKeptCopies) {
      remove(older.c_str());
    } else {
      rename(older.c_str(), (base + "." + std::to_string(n + 1)).c_str());
    }
  }
  rename(path, (base + ".1").c_str());
}

void Log::printf(uint8_t priority, const char* format, ...) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_pBuffer == nullptr) return;

  va_list args;
  va_start(args, format);
  int length = vsnprintf(m_pBuffer, kBufferSize, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= kBufferSize) return;

  if (m_Outputs & kSyslog) {
    m_sSyslogLine.append(m_pBuffer, length);
    if (m_sSyslogLine.find('\n') != std::string::npos) {
      syslog(priority, "%s", m_sSyslogLine.c_str());
      m_sSyslogLine.clear();
    }
  }
  if (m_Outputs & kStdout) ::printf("%s", m_pBuffer);
  if (m_Outputs & (kRotatedFile | kAppendedFile)) {
    fwrite(m_pBuffer, 1, length, m_pFile);
    fflush(m_pFile);
  }
}
