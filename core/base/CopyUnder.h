// The readers' rule for shared status: lock, copy one value, unlock. Any
// thread; the caller holds no other lock.
#ifndef WANVOX_CORE_BASE_COPYUNDER_H_
#define WANVOX_CORE_BASE_COPYUNDER_H_

#include <mutex>

template <typename T>
T CopyUnder(std::mutex& lock, const T& value) {
  std::lock_guard<std::mutex> hold(lock);
  return value;
}

#endif  // WANVOX_CORE_BASE_COPYUNDER_H_
