// Blowfish's starting P-array and S-boxes (digits of pi), shared by key setup.
#pragma once
#include <cstdint>

namespace tolvan::detail {
extern const std::uint32_t kBlowfishInitP[18];
extern const std::uint32_t kBlowfishInitS[4][256];
}  // namespace tolvan::detail
