// Points one of the process-wide loggers at a file in a scratch directory for
// the life of the object, so tests can read back the exact lines written.
#ifndef WANVOX_TESTS_LOG_CAPTURE_H_
#define WANVOX_TESTS_LOG_CAPTURE_H_

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/base/Log.h"

class LogCapture {
 public:
  // |slot| is the logger to replace, e.g. &logger.
  explicit LogCapture(Log** slot) : m_pSlot(slot), m_pSaved(*slot) {
    char pattern[] = "/tmp/wanvox-logcapture.XXXXXX";
    m_sDir = mkdtemp(pattern);
    m_pLog = new Log(Log::kRotatedFile, "captured", m_sDir.c_str());
    *m_pSlot = m_pLog;
  }
  ~LogCapture() {
    *m_pSlot = m_pSaved;
    delete m_pLog;
    if (system(("rm -rf " + m_sDir).c_str()) != 0) return;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Everything written so far.
  std::string Text() const {
    std::ifstream in(m_sDir + "/captured");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // How often |line| occurs in the text so far.
  int Count(const std::string& line) const {
    const std::string text = Text();
    int count = 0;
    for (size_t at = 0; (at = text.find(line, at)) != std::string::npos; at += line.size()) {
      ++count;
    }
    return count;
  }

 private:
  Log** m_pSlot;
  Log* m_pSaved;
  Log* m_pLog;
  std::string m_sDir;
};

#endif  // WANVOX_TESTS_LOG_CAPTURE_H_
