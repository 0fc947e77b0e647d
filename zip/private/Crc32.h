// The CRC-32 of ZIP and gzip.
#pragma once

#include <cstddef>
#include <cstdint>

// The running CRC-32 of ZIP (and gzip) over size more bytes; start with 0.
uint32_t UpdateCrc32(uint32_t crc, const void *data, size_t size);
