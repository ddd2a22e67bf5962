#include "platform/crc32.h"

namespace {
// One entry per byte value, built on first use.
struct Crc32Table {
    uint32_t entry[256];
    Crc32Table() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            entry[n] = c;
        }
    }
};
}  // namespace

uint32_t Crc32(const void* bytes, size_t size, uint32_t crc) {
    static const Crc32Table table;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table.entry[(crc ^ p[i]) & 0xffu] ^ (crc >> 8);
    return ~crc;
}
