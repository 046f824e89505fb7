#include "RowKernels.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace Image {
namespace {

constexpr std::int32_t kBitsPerByte = 8;

// Unpacks count pixels that start firstBit bits into row, reading only the
// bytes that hold them, a pixel at a time.
void UnpackPixelsOneByOne(const std::uint8_t* row, std::int64_t firstBit, std::int32_t bitsPerPixel,
                          std::int32_t count, std::uint8_t* out) {
  const std::uint8_t* in = row + firstBit / kBitsPerByte;
  const std::uint32_t valueMask = (1u << bitsPerPixel) - 1;
  std::uint32_t bits = 0;
  std::int32_t held = 0;  // low bits of `bits` not yet consumed
  if (const std::int32_t used = static_cast<std::int32_t>(firstBit % kBitsPerByte); used != 0) {
    bits = *in++;
    held = kBitsPerByte - used;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (held < bitsPerPixel) {
      bits = (bits << kBitsPerByte) | *in++;
      held += kBitsPerByte;
    }
    held -= bitsPerPixel;
    out[i] = static_cast<std::uint8_t>((bits >> held) & valueMask);
  }
}

// The pixels of every byte value at a depth that divides a byte, first pixel first.
template <std::int32_t kBits>
struct CByteExpansion {
  static constexpr std::int32_t kPixels = kBitsPerByte / kBits;
  std::array<std::array<std::uint8_t, kPixels>, 256> pixels{};

  constexpr CByteExpansion() {
    for (std::uint32_t byte = 0; byte < pixels.size(); ++byte) {
      for (std::int32_t i = 0; i < kPixels; ++i) {
        pixels[byte][static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((byte >> (kBitsPerByte - kBits * (i + 1))) & ((1u << kBits) - 1));
      }
    }
  }
};

// Whole bytes through the table, a byte's pixels in one copy; returns the
// pixels unpacked.
template <std::int32_t kBits>
std::int32_t UnpackWholeBytes(const std::uint8_t* in, std::int32_t count, std::uint8_t* out) {
  static constexpr CByteExpansion<kBits> kExpansion;
  constexpr std::int32_t kPixels = CByteExpansion<kBits>::kPixels;
  const std::int32_t bytes = count / kPixels;
  for (std::int32_t i = 0; i < bytes; ++i) std::memcpy(out + i * kPixels, kExpansion.pixels[in[i]].data(), kPixels);
  return bytes * kPixels;
}

}  // namespace

// The palette depths (1 and 4 bits) take whole bytes from a table when the
// run starts on a byte.
void UnpackPixels(const std::uint8_t* row, std::int64_t firstBit, std::int32_t bitsPerPixel, std::int32_t count,
                  std::uint8_t* out, TKernel kernel) {
  std::int32_t done = 0;
  if (kernel == TKernel::Fastest && firstBit % kBitsPerByte == 0) {
    const std::uint8_t* in = row + firstBit / kBitsPerByte;
    if (bitsPerPixel == 1) done = UnpackWholeBytes<1>(in, count, out);
    if (bitsPerPixel == 4) done = UnpackWholeBytes<4>(in, count, out);
  }
  UnpackPixelsOneByOne(row, firstBit + std::int64_t{done} * bitsPerPixel, bitsPerPixel, count - done, out + done);
}

namespace {

// Replaces each byte with its table entry, a byte at a time.
void LookUpOneByOne(const std::uint8_t* table, std::uint8_t* bytes, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) bytes[i] = table[bytes[i]];
}

#if defined(__x86_64__)
// Sixteen bytes at a time where all are below 16 (every index of a 1- or
// 4-bit page): the table's first 16 entries fit one register and a byte
// shuffle looks them all up. Other groups go a byte at a time.
__attribute__((target("ssse3"))) void LookUpSsse3(const std::uint8_t* table, std::uint8_t* bytes,
                                                  std::int32_t count) {
  constexpr std::int32_t kLanes = 16;
  const __m128i entries = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table));
  const __m128i highNibbles = _mm_set1_epi8(static_cast<char>(0xF0));
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    auto* group = reinterpret_cast<__m128i*>(bytes + i);
    const __m128i indices = _mm_loadu_si128(group);
    const __m128i high = _mm_and_si128(indices, highNibbles);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_setzero_si128())) != 0xFFFF) {
      LookUpOneByOne(table, bytes + i, kLanes);
      continue;
    }
    _mm_storeu_si128(group, _mm_shuffle_epi8(entries, indices));
  }
  LookUpOneByOne(table, bytes + i, count - i);
}
#endif

}  // namespace

// The fast path where the processor has it, checked once.
void LookUp(const std::uint8_t* table, std::uint8_t* bytes, std::int32_t count, [[maybe_unused]] TKernel kernel) {
#if defined(__x86_64__)
  static const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");
  if (kernel == TKernel::Fastest && kHaveSsse3) return LookUpSsse3(table, bytes, count);
#endif
  LookUpOneByOne(table, bytes, count);
}

}  // namespace Image
