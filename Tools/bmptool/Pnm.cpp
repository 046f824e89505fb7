#include "Pnm.h"

#include <cctype>
#include <vector>

#include "Commands.h"

namespace BmpTool {
namespace {

constexpr std::int64_t kMaxPnmSide = std::int64_t{1} << 30;
constexpr std::int64_t kMaxSample = 65535;
constexpr std::int64_t kWideSample = 255;

class CPnmHeaderReader {
public:
  explicit CPnmHeaderReader(std::FILE* file) : m_file(file) {}

  // A header number, after whitespace and comments.
  std::int64_t Number() {
    int c = SkipSpaceAndComments();
    if (c == EOF || !std::isdigit(c)) throw CFileProblem{"malformed PNM header"};
    std::int64_t value = 0;
    for (; c != EOF && std::isdigit(c); c = std::getc(m_file)) {
      value = value * 10 + (c - '0');
      if (value > kMaxPnmSide) throw CFileProblem{"PNM header number too large"};
    }
    m_pending = c;
    return value;
  }
  // The one whitespace byte between the header and the samples.
  void EndOfHeader() {
    if (m_pending == EOF || !std::isspace(m_pending)) throw CFileProblem{"malformed PNM header"};
  }

private:
  int SkipSpaceAndComments() {
    for (int c = m_pending != EOF ? m_pending : std::getc(m_file);; c = std::getc(m_file)) {
      if (c == '#') {
        while (c != EOF && c != '\n') c = std::getc(m_file);
      }
      if (c == EOF || !std::isspace(c)) return c;
    }
  }

  std::FILE* m_file;
  int m_pending = EOF;
};

std::uint8_t Scaled(std::uint32_t sample, std::uint32_t maxValue) {
  return static_cast<std::uint8_t>((std::min(sample, maxValue) * 255 + maxValue / 2) / maxValue);
}

void ReadSamples(std::FILE* file, std::uint8_t* out, std::size_t count) {
  if (std::fread(out, 1, count, file) != count) throw CFileProblem{"PNM pixel data is truncated"};
}

}  // namespace

CRaster ReadPnm(std::FILE* file, std::uint64_t fileSize, const CDecodeLimits& limits) {
  std::uint8_t magic[2] = {};
  ReadSamples(file, magic, sizeof magic);
  if (magic[1] < '4' || magic[1] > '6') throw CFileProblem{"not a binary PNM (P4, P5 or P6)"};
  const char type = static_cast<char>(magic[1]);
  CPnmHeaderReader header(file);
  const std::int64_t width = header.Number();
  const std::int64_t height = header.Number();
  const std::int64_t maxValue = type == '4' ? 1 : header.Number();
  header.EndOfHeader();
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) throw CFileProblem{"unsupported PNM size"};
  if (maxValue < 1 || maxValue > kMaxSample) throw CFileProblem{"PNM maximum value out of range"};
  CRaster raster;
  raster.width = static_cast<std::int32_t>(width);
  raster.height = static_cast<std::int32_t>(height);
  raster.kind = type == '4' ? TKind::BlackAndWhite : type == '5' ? TKind::Gray : TKind::Rgb;
  if (limits.decode == TDecode::HeaderOnly) return raster;
  const std::uint64_t channels = type == '6' ? 3 : 1;
  const std::uint64_t sampleBytes = maxValue > kWideSample ? 2 : 1;
  const std::uint64_t storedRow = type == '4' ? (std::uint64_t(width) + 7) / 8 : std::uint64_t(width) * channels * sampleBytes;
  const auto headerEnd = static_cast<std::uint64_t>(std::max<long>(0, std::ftell(file)));
  // The pixels must be in the file before anything is sized for them.
  if (storedRow * std::uint64_t(height) > fileSize - std::min(fileSize, headerEnd)) {
    throw CFileProblem{"PNM pixel data is truncated"};
  }
  AllocateRaster(raster, limits.budget);
  const bool direct = type == '4' || maxValue == kWideSample;  // stored as the raster keeps it
  std::vector<std::uint8_t> stored(direct ? 0 : std::size_t(storedRow));
  for (std::int32_t y = 0; y < raster.height; ++y) {
    std::uint8_t* out = raster.Row(y);
    if (direct) {
      ReadSamples(file, out, raster.rowBytes);
      if (type == '4') {
        for (std::size_t i = 0; i < raster.rowBytes; ++i) out[i] = std::uint8_t(~out[i]);  // PBM's 1 is black
      }
      continue;
    }
    ReadSamples(file, stored.data(), stored.size());
    for (std::size_t i = 0; i < raster.rowBytes; ++i) {
      const std::uint32_t sample = sampleBytes == 2 ? (std::uint32_t(stored[2 * i]) << 8) | stored[2 * i + 1] : stored[i];
      out[i] = Scaled(sample, static_cast<std::uint32_t>(maxValue));
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

void WritePnmRow(std::FILE* out, TPnmType type, const std::uint8_t* rgb, std::int32_t width,
                 std::vector<std::uint8_t>& row) {
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
      std::fwrite(rgb, 1, std::size_t(width) * 3, out);
      return;
  }
  std::fwrite(row.data(), 1, row.size(), out);
}

}  // namespace BmpTool
