#include "tools/quarnmon/JsonLine.h"

#include <time.h>

#include <cstdlib>
#include <memory>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

using apache::thrift::protocol::TJSONProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace {

// Whole `units` per second: milliseconds serve a reader of the wall clock;
// the monotonic reading times sub-millisecond latencies (bench/wakeups).
double Seconds(clockid_t clock, long units) {
  struct timespec now;
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) +
         static_cast<double>(now.tv_nsec / (1000000000 / units)) / units;
}

}  // namespace

json_t* ToJson(const std::string& value) {
  return json_stringn(value.data(), value.size());
}

json_t* ToJson(const char* value) { return json_string(value); }

json_t* ToJson(int32_t value) { return json_integer(value); }

json_t* ToJson(bool value) { return json_boolean(value); }

json_t* ToJson(double value) { return json_real(value); }

json_t* ToJson(const apache::thrift::TBase& record) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  TJSONProtocol protocol(buffer);
  record.write(&protocol);
  std::string text = buffer->getBufferAsString();
  json_t* parsed = json_loadb(text.data(), text.size(), 0, nullptr);
  return parsed != nullptr ? parsed : json_stringn(text.data(), text.size());
}

JsonLine::JsonLine(const char* kind, const char* name) : m_pObject(json_object()) {
  json_object_set_new(m_pObject, kind, json_string(name));
  json_object_set_new(m_pObject, "time", json_real(Seconds(CLOCK_REALTIME, 1000)));
  json_object_set_new(m_pObject, "mono", json_real(Seconds(CLOCK_MONOTONIC, 1000000)));
}

JsonLine::~JsonLine() { json_decref(m_pObject); }

std::string JsonLine::Dump() const {
  char* text = json_dumps(m_pObject, JSON_COMPACT | JSON_REAL_PRECISION(15));
  std::string line = text != nullptr ? text : "{}";
  free(text);
  return line;
}
