// CRC-32 (the common one: reflected polynomial 0xEDB88320, start 0xFFFFFFFF,
// final inversion; check value CBF43926 for "123456789") of buffers and files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvan {

// Continues a CRC register over count bytes, without the initial or final
// inversion: the CRC of a buffer is ~UpdateCRC32(0xFFFFFFFF, buf, n). Uses
// carry-less multiplication where the processor has it.
std::uint32_t UpdateCRC32(std::uint32_t reg, const void* buf, std::size_t count);

// The same result by table lookups only (eight bytes per step), on any
// processor. UpdateCRC32 falls back to it.
std::uint32_t UpdateCRC32Portable(std::uint32_t reg, const void* buf, std::size_t count);

// One byte per step through the 256-entry table: the plain definition, kept
// as the yardstick the faster routines are tested against.
std::uint32_t UpdateCRC32Bytewise(std::uint32_t reg, const void* buf, std::size_t count);

// True when UpdateCRC32 uses carry-less multiplication on this processor.
bool Crc32UsesClmul();

// CRC-32 of a file's whole content, read in pieces so memory use does not
// grow with the file. Returns false, silently, when the file cannot be opened
// for reading and writing (missing, not a regular file, no write permission
// bit set, locked) or cannot be read; crc is then left alone.
bool FileCRC32(const std::string& name, std::uint32_t& crc);

// "CRC of <name> is XXXXXXXX" (eight upper-case hex digits).
std::string CrcMessage(const std::string& name, std::uint32_t crc);

}  // namespace tolvan
