// CRC-32 (the common one: reflected polynomial 0xEDB88320, start 0xFFFFFFFF,
// final inversion; check value CBF43926 for "123456789") of buffers and files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvan {

// Continues a CRC register over count bytes, without the initial or final
// inversion: the CRC of a buffer is ~UpdateCRC32(0xFFFFFFFF, buf, n). Uses
// carry-less multiplication where the processor has it.
std::uint32_t UpdateCRC32(std::uint32_t reg, const void* buf, std::size_t count);

// The same result by table lookups only (sixteen bytes per step), on any
// processor. UpdateCRC32 falls back to it.
std::uint32_t UpdateCRC32Portable(std::uint32_t reg, const void* buf, std::size_t count);

// One byte per step through the 256-entry table: the plain definition, kept
// as the yardstick the faster routines are tested against.
std::uint32_t UpdateCRC32Bytewise(std::uint32_t reg, const void* buf, std::size_t count);

// The ways of computing the same CRC; UpdateCRC32 takes the fastest this
// processor runs. Tests and benchmarks may call each one directly.
enum class Crc32Method {
  Tables,        // UpdateCRC32Portable
  Clmul,         // 128-bit carry-less multiply (PCLMULQDQ)
  ClmulAvx,      // the same in the AVX instruction encoding
  Clmul512,      // 512-bit carry-less multiply (VPCLMULQDQ with AVX-512)
};
const char* Crc32MethodName(Crc32Method m);
// The methods this processor can run, slowest first; Tables is always there.
std::vector<Crc32Method> AvailableCrc32Methods();
// The method UpdateCRC32 uses.
Crc32Method ChosenCrc32Method();
// Runs the given method (which must be available).
std::uint32_t UpdateCRC32With(Crc32Method m, std::uint32_t reg, const void* buf, std::size_t count);

// CRC-32 of a file's whole content, read in pieces so memory use does not
// grow with the file. The file need only be readable, as for the window's
// checksum (read-only files included). Returns false when the file cannot be
// opened for reading (missing, not a regular file, no read permission,
// locked) or cannot be read; crc is then left alone.
// While it reads, it holds a shared lock on the file (file_lock.h): it gives
// no CRC of a file being encrypted or decrypted, and none can start meanwhile.
bool FileCRC32(const std::string& name, std::uint32_t& crc);
// The same, with a one-line reason for a failure in *why (for the
// command-line tool).
bool FileCRC32(const std::string& name, std::uint32_t& crc, std::string* why);

// CRC-32 of a file that need only be readable (read-only files and media
// included), read in pieces. progress, when given, is called after each piece
// with the bytes done and the file's size; it may throw to stop the reading
// (the exception passes through, the file is closed). On failure returns
// false and sets error to one line naming the file and the reason; crc is
// then left alone.
using FileCrcProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
bool ReadFileCRC32(const std::string& name, std::uint32_t& crc, std::string& error,
                   const FileCrcProgress& progress = {});

// "CRC of <name> is XXXXXXXX" (eight upper-case hex digits).
std::string CrcMessage(const std::string& name, std::uint32_t crc);

}  // namespace tolvan
