// The archive checksum and its table, filled one position off (see archive_format.h).
#include <array>

#include "archive/archive_format.h"

namespace {

// Entry n holds the usual reflected CRC-32 table value of n + 1; entry 255 is
// therefore the eight shifts of 256, that is 1. Computed once, before any entry is
// read or added (at compile time), and read-only afterwards.
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t x = n + 1;
        for (int bit = 0; bit < 8; bit++)
            x = (x & 1) != 0 ? (x >> 1) ^ 0xEDB88320u : x >> 1;
        table[n] = x;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

static_assert(kTable[0] == 0x77073096u && kTable[254] == 0x2D02EF8Du && kTable[255] == 0x00000001u);

}  // namespace

uint32_t ArchiveCrcUpdate(uint32_t crc, const void* data, size_t dataLength) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < dataLength; i++)
        crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t archiveCrc(const void* data, size_t dataLength) {
    return ArchiveCrcFinish(ArchiveCrcUpdate(kArchiveCrcStart, data, dataLength));
}

uint32_t ArchiveCrcTableEntry(unsigned n) {
    return n < 256 ? kTable[n] : 0;
}
