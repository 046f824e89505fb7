#pragma once
// Little-endian fields, the byte order of BMP files, assembled and emitted
// byte by byte so that they read and write the same on every machine. Every
// multi-byte field of a BMP file passes through these, never through memcpy
// or a pointer cast.
#include <cstdint>

namespace Kes {

constexpr std::uint16_t LoadLe16(const std::uint8_t* bytes) noexcept {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

constexpr std::uint32_t LoadLe32(const std::uint8_t* bytes) noexcept {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

constexpr void StoreLe16(std::uint8_t* bytes, std::uint16_t value) noexcept {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void StoreLe32(std::uint8_t* bytes, std::uint32_t value) noexcept {
  StoreLe16(bytes, static_cast<std::uint16_t>(value));
  StoreLe16(bytes + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace Kes
