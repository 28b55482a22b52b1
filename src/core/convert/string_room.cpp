#include "core/convert/string_room.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>

namespace tolvan {

namespace {
// Buffers from this size on are worth the huge-page hint.
constexpr std::size_t kHugeFrom = std::size_t(8) << 20;
}  // namespace

void reserveRoom(std::string& s, std::size_t n) {
  if (n <= s.capacity()) return;
  s.reserve(n);  // keeps [0, size()), which holds everything written so far
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (n >= kHugeFrom) {
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const auto from = (reinterpret_cast<std::uintptr_t>(s.data()) + kHuge - 1) & ~(kHuge - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(s.data()) + s.capacity()) & ~(kHuge - 1);
    // Only a hint: without it (or where the system says no) the pages are
    // ordinary ones.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
#endif
}

#if defined(__cpp_lib_string_resize_and_overwrite)
void resizeUninit(std::string& s, std::size_t n) {
  reserveRoom(s, n);
  s.resize_and_overwrite(n, [](char*, std::size_t k) { return k; });
}
#elif defined(__GLIBCXX__)
namespace {
// libstdc++ before C++23 has the operation as a private member; an explicit
// instantiation may name it, and hands its address out through a friend.
template <class Tag, typename Tag::type Member>
struct Expose {
  friend typename Tag::type memberOf(Tag) { return Member; }
};
struct SetLength {
  using type = void (std::string::*)(std::string::size_type);
  friend type memberOf(SetLength);
};
template struct Expose<SetLength, &std::string::_M_set_length>;
}  // namespace

void resizeUninit(std::string& s, std::size_t n) {
  if (n <= s.size()) {
    s.resize(n);
    return;
  }
  reserveRoom(s, n);
  (s.*memberOf(SetLength{}))(n);
}
#else
void resizeUninit(std::string& s, std::size_t n) {
  reserveRoom(s, n);
  s.resize(n);
}
#endif

}  // namespace tolvan
