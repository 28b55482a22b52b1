#include "core/convert/string_room.h"

namespace tolvan {

#if defined(__cpp_lib_string_resize_and_overwrite)
void resizeUninit(std::string& s, std::size_t n) {
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
  s.reserve(n);  // keeps [0, size()), which holds everything written so far
  (s.*memberOf(SetLength{}))(n);
}
#else
void resizeUninit(std::string& s, std::size_t n) { s.resize(n); }
#endif

}  // namespace tolvan
