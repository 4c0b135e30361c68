#pragma once

#include <cstddef>

// Makes the global operator new of this test program throw std::bad_alloc on the
// allocation numbered `index` (counting from 0) while the scope lives.
class FailingAllocations {
 public:
  explicit FailingAllocations(long index);
  ~FailingAllocations();
  // Whether the chosen allocation was reached and failed.
  bool failed() const;
};
