// CRC-32 as zip, PNG and Ethernet compute it (reflected polynomial 0xEDB88320, initial value and
// final xor 0xFFFFFFFF): a check value that tells a damaged file from a whole one.
#pragma once
#include <cstddef>
#include <cstdint>

// The CRC-32 of `size` bytes. Passing the result of an earlier call as `crc` continues it, so a
// file may be checked in pieces: Crc32(b, nb, Crc32(a, na)) == Crc32(a followed by b).
uint32_t Crc32(const void* bytes, size_t size, uint32_t crc = 0);
