#pragma once

#include <cstdint>

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial 0xFFFF, no reflection, no
// final xor. The frame checksum over bytes 0..3.
uint16_t Crc16(const unsigned char* bytes, uint16_t count);
