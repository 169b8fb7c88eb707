// The most heap memory a piece of work holds at once, counted by the
// program's own operator new and delete, so that it is that work's and
// nobody else's. Include it in exactly one file of a benchmark program.
#pragma once

#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace peakmemory {

inline std::size_t gLiveBytes = 0;
inline std::size_t gPeakBytes = 0;

inline void* Allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  gLiveBytes += malloc_usable_size(block);
  gPeakBytes = std::max(gPeakBytes, gLiveBytes);
  return block;
}

inline void Release(void* block) noexcept {
  if (block == nullptr) return;
  gLiveBytes -= malloc_usable_size(block);
  std::free(block);
}

// The peak of live bytes above those live at the start, over work().
template <class Work>
std::size_t Of(Work&& work) {
  const std::size_t before = gLiveBytes;
  gPeakBytes = before;
  work();
  return gPeakBytes - before;
}

}  // namespace peakmemory

void* operator new(std::size_t size) {
  return peakmemory::Allocate(size);
}
void* operator new[](std::size_t size) {
  return peakmemory::Allocate(size);
}
void operator delete(void* block) noexcept {
  peakmemory::Release(block);
}
void operator delete[](void* block) noexcept {
  peakmemory::Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  peakmemory::Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  peakmemory::Release(block);
}
