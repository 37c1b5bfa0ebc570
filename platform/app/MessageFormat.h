// Internal to the app library: the flattened message format.
//
// All numbers little-endian. Layout:
//   header  magic "PMsg" (4 bytes), version u16 (1), reserved u16 (0), total size u32
//           (the whole buffer, checksum included), what u32, field count u32
//   field   type u32, flags u8 (bit 0: fixed-size items), name length u8 (1..255),
//           name bytes (no NUL), item count u32 (>= 1), then
//           fixed:    item size u32 (>= 1), count * size bytes
//           variable: per item: size u32, bytes
//   trailer CRC-32 (IEEE) of everything before it, u32
#pragma once

#include <cstddef>
#include <cstdint>

namespace message_format {

constexpr char kMagic[4] = {'P', 'M', 's', 'g'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 20;
constexpr size_t kTrailerSize = 4;
constexpr int kMaxDepth = 32;   // nested messages

uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace message_format
