#pragma once

// Frame checksum: reflected CRC-8, polynomial 0x31 (0x8C reflected), start 0xFF,
// no final XOR. Returns the checksum in the low 8 bits, or -1 for count < 1.
int crc8(const unsigned char* data, int count);
