#include "protocol/crc8.h"

#include <array>

namespace {

// Entry i: reflected CRC-8 (poly 0x8C) of the single byte i, start 0.
constexpr std::array<unsigned char, 256> makeTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        unsigned int r = static_cast<unsigned int>(i);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1u) ? (r >> 1) ^ 0x8Cu : r >> 1;
        table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(r);
    }
    return table;
}

constexpr std::array<unsigned char, 256> crcTable = makeTable();
static_assert(crcTable[1] == 0x5E && crcTable[2] == 0xBC && crcTable[3] == 0xE2,
              "Dallas/Maxim table");

} // namespace

int crc8(const unsigned char* data, int count)
{
    if (count < 1 || !data)
        return -1;
    unsigned int r = 0xFF;
    for (int i = 0; i < count; ++i)
        r = crcTable[(r ^ data[i]) & 0xFFu];
    return static_cast<int>(r);
}
