// CRC-16 of LZH member data and headers (polynomial 0x8005, bits
// reflected, starting at 0), computed by the encoder on its own: the
// decoders keep their running CRC in their process-wide state, which the
// encoder must not disturb.
#pragma once
#include <stddef.h>
#include <stdint.h>

uint16_t Crc16Update(uint16_t crc, const unsigned char* bytes, size_t count);
