// Key-material wiping that survives optimisation.
#include "core/crypto/wipe.h"

#include <cstring>

namespace tolvan {

void SecureFill(void* p, std::size_t n, unsigned char value) {
  if (n == 0) return;
  std::memset(p, value, n);
  // The empty asm takes the pointer and clobbers memory: as far as the
  // compiler knows the bytes are read afterwards, so the memset stays.
  asm volatile("" : : "r"(p) : "memory");
}

}  // namespace tolvan
