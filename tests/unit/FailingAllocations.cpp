#include "FailingAllocations.h"

#include <cstdlib>
#include <new>

namespace {
long allocationsBeforeFailure = -1;  // -1: never fail
bool failureHappened = false;
}  // namespace

FailingAllocations::FailingAllocations(long index) {
  allocationsBeforeFailure = index;
  failureHappened = false;
}

FailingAllocations::~FailingAllocations() { allocationsBeforeFailure = -1; }

bool FailingAllocations::failed() const { return failureHappened; }

void* operator new(std::size_t size) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    failureHappened = true;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
// What the standard library takes without exceptions (std::stable_sort's buffer) must come
// from the same allocator as what it gives back through operator delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
