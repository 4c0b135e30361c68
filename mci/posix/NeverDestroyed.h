#pragma once

#include <new>
#include <utility>

// An object that is never destroyed: a process's exit handlers run while other threads may
// still use it (wait on it, or be inside a drive command), and destroying it would pull it
// from under them, or wait for them. Made in place, so nothing is allocated or leaked; as a
// function's static it is made once, on first use, and registers no destructor.
template <typename T>
class NeverDestroyed {
 public:
  template <typename... Arguments>
  explicit NeverDestroyed(Arguments&&... arguments) {
    new (storage) T(std::forward<Arguments>(arguments)...);
  }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage)); }

 private:
  alignas(T) unsigned char storage[sizeof(T)];
};
