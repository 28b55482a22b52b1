// Overwriting key material. A plain memset of a buffer that is about to die
// may be removed by the optimiser; these writes are kept.
#pragma once
#include <cstddef>

namespace tolvan {

// Fills n bytes at p with value; the compiler may not drop the stores.
void SecureFill(void* p, std::size_t n, unsigned char value);

}  // namespace tolvan
