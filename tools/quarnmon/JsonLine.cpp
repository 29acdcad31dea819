#include "tools/quarnmon/JsonLine.h"

#include <time.h>

#include <cstdlib>
#include <memory>

#include <thrift/protocol/TJSONProtocol.h>
#include <thrift/transport/TBufferTransports.h>

using apache::thrift::protocol::TJSONProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace {

double Seconds(clockid_t clock) {
  struct timespec now;
  clock_gettime(clock, &now);
  // Millisecond precision is all a reader of the log needs.
  return static_cast<double>(now.tv_sec) + (now.tv_nsec / 1000000) / 1000.0;
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
  json_object_set_new(m_pObject, "time", json_real(Seconds(CLOCK_REALTIME)));
  json_object_set_new(m_pObject, "mono", json_real(Seconds(CLOCK_MONOTONIC)));
}

JsonLine::~JsonLine() { json_decref(m_pObject); }

std::string JsonLine::Dump() const {
  char* text = json_dumps(m_pObject, JSON_COMPACT | JSON_REAL_PRECISION(15));
  std::string line = text != nullptr ? text : "{}";
  free(text);
  return line;
}
