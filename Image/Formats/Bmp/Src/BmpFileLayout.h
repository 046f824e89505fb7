#pragma once
// The numbers of the BMP file layout that the reading and the writing side
// share: header sizes, compressions, palette entries and the limits the
// module puts on what it opens. Private to the module's sources.
#include <cstdint>

namespace Image {

// The file header (BITMAPFILEHEADER) before the information header of a file; a DIB has none.
inline constexpr std::int64_t kFileHeaderSize = 14;

// Information header sizes. 12 is the OS/2 1.x core header (16-bit sizes, no
// compression, 3-byte palette entries); OS/2 2.x headers may end after any
// field from the bit count on; from 52 bytes on (V2 to V5) the masks lie
// inside the header, at the end of its first 40 bytes.
inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kShortestInfoHeaderSize = 16;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kHeaderWithMasks = 52;
inline constexpr std::uint32_t kOs2InfoHeaderSize = 64;
inline constexpr std::uint32_t kV4HeaderSize = 108;
inline constexpr std::uint32_t kV5HeaderSize = 124;

// Both headers of a file with a 40-byte information header: where its palette
// or pixels begin.
inline constexpr std::int64_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

// biCompression values.
inline constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3, kBiJpeg = 4, kBiPng = 5;

// Palette entries: blue, green, red and (but in a core header) one unused byte.
inline constexpr std::int64_t kPaletteEntryBytes = 4;
inline constexpr std::int64_t kCorePaletteEntryBytes = 3;
inline constexpr std::int64_t kMaxPaletteEntries = 256;
inline constexpr std::int64_t kFullPaletteBytes = kMaxPaletteEntries * kPaletteEntryBytes;

// Files wider or taller than this are refused; DIBs have no limit.
inline constexpr std::int32_t kMaxFileImageSide = 32512;

}  // namespace Image
