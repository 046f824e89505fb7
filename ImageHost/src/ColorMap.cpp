#include "ColorMap.h"

#include <algorithm>
#include <bit>
#include <iterator>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "HostSites.h"

namespace Image {

void CRGBColorMap::SetSize(std::int32_t size) {
  if (size < 0) Kes::RaiseInternal(HostSites::ColorMapSize, size);
  m_colors.SetCount(size);
  m_fullSize = std::max<std::int64_t>(m_fullSize, size);
}

void CRGBColorMap::SetFullSize(std::int64_t fullSize) {
  if (fullSize < m_colors.GetCount()) Kes::RaiseInternal(HostSites::ColorMapSize, fullSize);
  m_fullSize = fullSize;
}

CRGBColor CRGBColorMap::GetColor(std::int64_t index) const {
  if (index < 0 || index >= m_fullSize) Kes::RaiseInternal(HostSites::ColorIndex, index);
  if (index >= m_colors.GetCount()) return {};
  return m_colors[static_cast<std::int32_t>(index)];
}

void CRGBColorMap::SetColor(std::int32_t index, CRGBColor color) {
  if (index < 0 || index >= m_colors.GetCount()) Kes::RaiseInternal(HostSites::ColorIndex, index);
  m_colors[index] = color;
}

bool CRGBColorMap::IsGray() const {
  for (const CRGBColor& c : m_colors) {
    if (c.red != c.green || c.green != c.blue) return false;
  }
  return true;
}

bool CRGBColorMap::IsBlackAndWhite() const {
  constexpr CRGBColor kBlack{0, 0, 0}, kWhite{255, 255, 255};
  for (const CRGBColor& c : m_colors) {
    if (c != kBlack && c != kWhite) return false;
  }
  return true;
}

std::uint8_t CRGBColorMask::CField::Scale(std::uint32_t pixel) const {
  if (max == 0) return 0;
  const std::uint64_t value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((value * 255 * 2 + max) / (2 * max));  // round(value * 255 / max)
}

void CRGBColorMask::SetMasks(TPixelSize size, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  if (size != PixelSize16 && size != PixelSize32) Kes::RaiseInternal(HostSites::MaskPixelSize, size);
  m_size = size;
  const std::uint32_t masks[3] = {red, green, blue};
  for (int i = 0; i < 3; ++i) {
    CField& field = m_fields[i];
    field.mask = masks[i];
    field.shift = masks[i] == 0 ? 0 : std::countr_zero(masks[i]);
    field.max = std::uint64_t{masks[i]} >> field.shift;
  }
  m_bytesFields =
      std::all_of(std::begin(m_fields), std::end(m_fields), [](const CField& f) { return f.max == kByteFieldMax; });
  m_table16.Clear();
  if (size != PixelSize16) return;
  constexpr std::int32_t kPixelValues = 1 << 16;
  m_table16.SetCount(kPixelValues);
  for (std::int32_t pixel = 0; pixel < kPixelValues; ++pixel) {
    const CRGBColor colour = Convert(static_cast<std::uint32_t>(pixel));
    m_table16[pixel] = {colour.blue, colour.green, colour.red, 0};
  }
}

namespace {

#if defined(__x86_64__)
// Blue, green, red, spare in memory to blue, green, red: a byte shuffle per
// four pixels. Each 16-byte store holds 12 bytes of colour; the loop stops
// while a whole store still fits in out.
__attribute__((target("ssse3"))) std::int64_t DropSpareBytesSsse3(const std::uint8_t* in, std::uint8_t* out,
                                                                  std::int64_t count) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  constexpr std::int64_t kPixelsPerStep = 4;
  constexpr std::int64_t kStoreBytes = 16;
  std::int64_t i = 0;
  for (; 3 * i + kStoreBytes <= 3 * count; i += kPixelsPerStep) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i), _mm_shuffle_epi8(pixels, shuffle));
  }
  return i;
}
#endif

// How many leading pixels a vector loop converted (0 where none runs).
std::int64_t DropSpareBytes([[maybe_unused]] const std::uint32_t* values, [[maybe_unused]] CRGBColor* out,
                            [[maybe_unused]] std::int64_t count) {
#if defined(__x86_64__)
  static const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");
  if (kHaveSsse3) {
    return DropSpareBytesSsse3(reinterpret_cast<const std::uint8_t*>(values), reinterpret_cast<std::uint8_t*>(out),
                               count);
  }
#endif
  return 0;
}

}  // namespace

void CRGBColorMask::ConvertPixels32(const std::uint32_t* values, CRGBColor* out, std::int64_t count) const {
  if (!m_bytesFields) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = Convert(values[i]);
    return;
  }
  // Byte-wide fields need no scaling: plain shifts the compiler vectorises.
  const int red = m_fields[kRed].shift, green = m_fields[kGreen].shift, blue = m_fields[kBlue].shift;
  std::int64_t i = 0;
  // The usual layout keeps each value's low three bytes, in memory order on a little-endian machine.
  constexpr int kGreenShift = 8, kRedShift = 16;
  if (std::endian::native == std::endian::little && blue == 0 && green == kGreenShift && red == kRedShift) {
    i = DropSpareBytes(values, out, count);
  }
  for (; i < count; ++i) {
    const std::uint32_t pixel = values[i];
    out[i] = {static_cast<std::uint8_t>(pixel >> blue), static_cast<std::uint8_t>(pixel >> green),
              static_cast<std::uint8_t>(pixel >> red)};
  }
}

void CRGBColorMask::ConvertPixels16(const std::uint16_t* values, CRGBColor* out, std::int64_t count) const {
  if (m_size != PixelSize16) Kes::RaiseInternal(HostSites::MaskPixelSize, m_size);
  StorePaddedColors(m_table16.Data(), values, count, reinterpret_cast<std::uint8_t*>(out));
}

}  // namespace Image
