// JsonLine: one line of the Quarn monitor's output, a compact JSON object
// that starts with its kind ("call" or "event"), its name and the time it was
// made. Built and printed by one thread.
#ifndef WANVOX_TOOLS_QUARNMON_JSONLINE_H_
#define WANVOX_TOOLS_QUARNMON_JSONLINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include <jansson.h>
#include <thrift/TBase.h>

// Values as JSON. Enumerations come out as their i32 value; a record as the
// Thrift JSON form of its wire content (only the fields that are set, keyed
// by field id). Each returns a new reference.
json_t* ToJson(const std::string& value);
json_t* ToJson(const char* value);  // not to be taken for a bool
json_t* ToJson(int32_t value);
json_t* ToJson(bool value);
json_t* ToJson(double value);
json_t* ToJson(const apache::thrift::TBase& record);

template <typename T>
json_t* ToJson(const std::vector<T>& values) {
  json_t* array = json_array();
  for (const T& value : values) json_array_append_new(array, ToJson(value));
  return array;
}

class JsonLine {
 public:
  // {"<kind>":"<name>","time":<epoch seconds, to the ms>,"mono":<CLOCK_MONOTONIC
  // seconds, to the microsecond>}
  JsonLine(const char* kind, const char* name);
  ~JsonLine();

  JsonLine(const JsonLine&) = delete;
  JsonLine& operator=(const JsonLine&) = delete;

  template <typename T>
  JsonLine& Add(const char* key, const T& value) {
    json_object_set_new(m_pObject, key, ToJson(value));
    return *this;
  }

  // The object as one line of compact JSON, without the line feed.
  std::string Dump() const;

 private:
  json_t* m_pObject;
};

#endif  // WANVOX_TOOLS_QUARNMON_JSONLINE_H_
