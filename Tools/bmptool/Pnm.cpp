#include "Pnm.h"

#include <cctype>
#include <cstring>

namespace BmpTool {
namespace {

constexpr std::int64_t kMaxPnmSide = 1 << 20;

class CPnmReader {
public:
  explicit CPnmReader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}

  // A header number, after whitespace and comments.
  std::int64_t Number() {
    SkipSpaceAndComments();
    if (m_at >= m_bytes.size() || !std::isdigit(m_bytes[m_at])) throw CPnmError("malformed PNM header");
    std::int64_t value = 0;
    while (m_at < m_bytes.size() && std::isdigit(m_bytes[m_at])) {
      value = value * 10 + (m_bytes[m_at++] - '0');
      if (value > kMaxPnmSide * 65536) throw CPnmError("PNM header number too large");
    }
    return value;
  }
  // The one whitespace byte between the header and the samples.
  void EndOfHeader() {
    if (m_at >= m_bytes.size() || !std::isspace(m_bytes[m_at])) throw CPnmError("malformed PNM header");
    ++m_at;
  }
  const std::uint8_t* Samples(std::uint64_t count) {
    if (count > m_bytes.size() - m_at) throw CPnmError("PNM pixel data is truncated");
    const std::uint8_t* at = m_bytes.data() + m_at;
    m_at += count;
    return at;
  }

private:
  void SkipSpaceAndComments() {
    while (m_at < m_bytes.size()) {
      if (m_bytes[m_at] == '#') {
        while (m_at < m_bytes.size() && m_bytes[m_at] != '\n') ++m_at;
      } else if (std::isspace(m_bytes[m_at])) {
        ++m_at;
      } else {
        return;
      }
    }
  }

  const std::vector<std::uint8_t>& m_bytes;
  std::size_t m_at = 2;
};

std::uint8_t Scaled(std::uint32_t sample, std::uint32_t maxValue) {
  return static_cast<std::uint8_t>((std::min(sample, maxValue) * 255 + maxValue / 2) / maxValue);
}

}  // namespace

bool LooksLikePnm(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 2 && bytes[0] == 'P' && (bytes[1] == '4' || bytes[1] == '5' || bytes[1] == '6');
}

CRaster ParsePnm(const std::vector<std::uint8_t>& bytes) {
  if (!LooksLikePnm(bytes)) throw CPnmError("not a binary PNM (P4, P5 or P6)");
  const char type = static_cast<char>(bytes[1]);
  CPnmReader reader(bytes);
  const std::int64_t width = reader.Number();
  const std::int64_t height = reader.Number();
  const std::int64_t maxValue = type == '4' ? 1 : reader.Number();
  reader.EndOfHeader();
  if (width < 1 || height < 1 || width > kMaxPnmSide || height > kMaxPnmSide) throw CPnmError("unsupported PNM size");
  if (maxValue < 1 || maxValue > 65535) throw CPnmError("PNM maximum value out of range");
  CRaster raster;
  raster.width = static_cast<std::int32_t>(width);
  raster.height = static_cast<std::int32_t>(height);
  raster.kind = type == '4' ? TKind::BlackAndWhite : type == '5' ? TKind::Gray : TKind::Rgb;
  const std::uint64_t channels = type == '6' ? 3 : 1;
  const std::uint64_t sampleBytes = maxValue > 255 ? 2 : 1;
  const std::uint64_t rowBytes = type == '4' ? (std::uint64_t(width) + 7) / 8 : std::uint64_t(width) * channels * sampleBytes;
  if (rowBytes * std::uint64_t(height) > bytes.size()) throw CPnmError("PNM pixel data is truncated");
  raster.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
  for (std::int32_t y = 0; y < raster.height; ++y) {
    const std::uint8_t* in = reader.Samples(rowBytes);
    std::uint8_t* out = raster.Row(y);
    for (std::int32_t x = 0; x < raster.width; ++x, out += 3) {
      if (type == '4') {
        const bool black = (in[x / 8] >> (7 - x % 8)) & 1;
        out[0] = out[1] = out[2] = black ? 0 : 255;
        continue;
      }
      for (std::uint64_t c = 0; c < 3; ++c) {
        const std::uint64_t index = (std::uint64_t(x) * channels + (channels == 3 ? c : 0)) * sampleBytes;
        const std::uint32_t sample = sampleBytes == 2 ? (std::uint32_t(in[index]) << 8) | in[index + 1] : in[index];
        out[c] = Scaled(sample, static_cast<std::uint32_t>(maxValue));
      }
    }
  }
  return raster;
}

void WritePnmHeader(std::FILE* out, TPnmType type, std::int32_t width, std::int32_t height) {
  switch (type) {
    case TPnmType::Bitmap:
      std::fprintf(out, "P4\n%d %d\n", width, height);
      return;
    case TPnmType::Graymap:
      std::fprintf(out, "P5\n%d %d\n255\n", width, height);
      return;
    case TPnmType::Pixmap:
      std::fprintf(out, "P6\n%d %d\n255\n", width, height);
      return;
  }
}

void WritePnmRow(std::FILE* out, TPnmType type, const std::uint8_t* rgb, std::int32_t width) {
  std::vector<std::uint8_t> row;
  switch (type) {
    case TPnmType::Bitmap:
      row.assign((std::size_t(width) + 7) / 8, 0);
      for (std::int32_t x = 0; x < width; ++x) {
        if (IsBlack(rgb + std::size_t(x) * 3)) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
      }
      break;
    case TPnmType::Graymap:
      row.resize(std::size_t(width));
      for (std::int32_t x = 0; x < width; ++x) row[x] = Luma(rgb + std::size_t(x) * 3);
      break;
    case TPnmType::Pixmap:
      row.assign(rgb, rgb + std::size_t(width) * 3);
      break;
  }
  std::fwrite(row.data(), 1, row.size(), out);
}

}  // namespace BmpTool
