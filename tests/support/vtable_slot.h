// The virtual-table slot a pointer to a virtual member function names (Itanium C++ ABI: the
// pointer field holds 1 + the byte offset of the slot); -1 for a non-virtual function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace testsupport {

template <typename Pmf>
long SlotOf(Pmf pmf) {
  struct {
    std::uintptr_t ptr;
    std::ptrdiff_t adjust;
  } rep;
  static_assert(sizeof(pmf) == sizeof(rep));
  std::memcpy(&rep, &pmf, sizeof rep);
  if ((rep.ptr & 1) == 0) return -1;
  return static_cast<long>((rep.ptr - 1) / sizeof(void*));
}

}  // namespace testsupport
