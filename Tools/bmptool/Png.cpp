#include "Png.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include <png.h>

#include "Commands.h"

namespace BmpTool {
namespace {

// Deflate expands by at most about 1032 to 1, so no PNG supplies more
// filtered row bytes than this many times its own size.
constexpr std::uint64_t kDeflateMaxExpansion = 1032;
constexpr std::int64_t kTenThousandthsPerInch = 254;
constexpr std::int64_t kTenThousandthsPerMetre = 10000;
constexpr std::uint32_t kMaxDimension = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kMessageRoom = 200;

// libpng reports failures by longjmp. Every libpng call that can fail runs in
// a function of its own whose frame holds no C++ object, so a jump skips no
// destructor; the message is kept in the state for the caller's exception.
struct CPngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::FILE* file = nullptr;  // read from or written to
  char message[kMessageRoom] = "";
};

void OnError(png_structp png, png_const_charp message) {
  auto* state = static_cast<CPngState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

// libpng's warnings concern chunks the tool does not use.
void OnWarning(png_structp, png_const_charp) {}

void ReadFromFile(png_structp png, png_bytep out, std::size_t length) {
  auto* state = static_cast<CPngState*>(png_get_io_ptr(png));
  if (std::fread(out, 1, length, state->file) != length) png_error(png, "the file ends inside a chunk");
}

// Write failures stay in the stream's error flag for the output's owner, so
// that no jump starts inside the C library's stdio.
void WriteToFile(png_structp png, png_bytep data, std::size_t length) {
  auto* state = static_cast<CPngState*>(png_get_io_ptr(png));
  std::fwrite(data, 1, length, state->file);
}

void FlushNothing(png_structp) {}

struct CPngHeader {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  bool alpha = false;
  png_uint_32 xPpm = 0, yPpm = 0;
  std::size_t storedRowBytes = 0;  // before any transformation
  std::size_t rowBytes = 0;        // as read: 8 bits per sample, 1 or 3 samples
  int passes = 1;
};

bool ReadHeader(CPngState& state, CPngHeader& header) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_set_user_limits(state.png, kMaxDimension, kMaxDimension);
  png_read_info(state.png, state.info);
  header.width = png_get_image_width(state.png, state.info);
  header.height = png_get_image_height(state.png, state.info);
  header.bitDepth = png_get_bit_depth(state.png, state.info);
  header.colorType = png_get_color_type(state.png, state.info);
  header.storedRowBytes = png_get_rowbytes(state.png, state.info);
  header.alpha = (header.colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(state.png, state.info, PNG_INFO_tRNS);
  int unit = 0;
  if (!png_get_pHYs(state.png, state.info, &header.xPpm, &header.yPpm, &unit) || unit != PNG_RESOLUTION_METER) {
    header.xPpm = header.yPpm = 0;
  }
  // A 1-bit gray PNG stays packed, as the black-and-white raster stores it.
  if (header.bitDepth != 1 || header.colorType != PNG_COLOR_TYPE_GRAY) png_set_expand(state.png);
  png_set_scale_16(state.png);
  png_set_strip_alpha(state.png);
  header.passes = png_set_interlace_handling(state.png);
  png_read_update_info(state.png, state.info);
  header.rowBytes = png_get_rowbytes(state.png, state.info);
  return true;
}

// Each pass of an interlaced PNG visits every row; rows stay in the raster between passes.
bool ReadRows(CPngState& state, int passes, CRaster& raster) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  for (int pass = 0; pass < passes; ++pass) {
    for (std::int32_t y = 0; y < raster.height; ++y) png_read_row(state.png, raster.Row(y), nullptr);
  }
  png_read_end(state.png, nullptr);
  return true;
}

TKind KindOfPng(const CPngHeader& header) {
  if ((header.colorType & PNG_COLOR_MASK_COLOR) != 0) return TKind::Rgb;  // palettes are expanded
  return header.bitDepth == 1 && header.colorType == PNG_COLOR_TYPE_GRAY ? TKind::BlackAndWhite : TKind::Gray;
}

// Owns the libpng structures of one read or one write.
template <bool kWriting>
class CPngStructs {
public:
  explicit CPngStructs(CPngState& state) : m_state(state) {
    state.png = kWriting ? png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning)
                         : png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
      Destroy();  // a destructor does not run for a constructor that throws
      throw std::bad_alloc();
    }
  }
  ~CPngStructs() { Destroy(); }
  CPngStructs(const CPngStructs&) = delete;
  CPngStructs& operator=(const CPngStructs&) = delete;

private:
  void Destroy() {
    if constexpr (kWriting) {
      png_destroy_write_struct(&m_state.png, &m_state.info);
    } else {
      png_destroy_read_struct(&m_state.png, &m_state.info, nullptr);
    }
  }

  CPngState& m_state;
};

bool WriteHeader(CPngState& state, png_uint_32 width, png_uint_32 height, int bitDepth, int colorType,
                 png_uint_32 xPpm, png_uint_32 yPpm) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_set_user_limits(state.png, kMaxDimension, kMaxDimension);
  png_set_IHDR(state.png, state.info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (xPpm > 0 && yPpm > 0) png_set_pHYs(state.png, state.info, xPpm, yPpm, PNG_RESOLUTION_METER);
  png_write_info(state.png, state.info);
  return true;
}

bool WriteRow(CPngState& state, png_bytep row) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_write_row(state.png, row);
  return true;
}

bool WriteEnd(CPngState& state) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_write_end(state.png, state.info);
  return true;
}

// One host row (RGB bytes) in the stored form of the kind.
void PackRow(TKind kind, const std::uint8_t* rgb, std::int32_t width, std::vector<std::uint8_t>& out) {
  switch (kind) {
    case TKind::BlackAndWhite:
      std::fill(out.begin(), out.end(), std::uint8_t{0});
      for (std::int32_t x = 0; x < width; ++x) {
        if (!IsBlack(rgb + std::size_t(x) * 3)) out[std::size_t(x) / 8] |= std::uint8_t(0x80u >> (x % 8));  // 1 is white
      }
      return;
    case TKind::Gray:
      for (std::int32_t x = 0; x < width; ++x) out[std::size_t(x)] = rgb[std::size_t(x) * 3];
      return;
    case TKind::Rgb:
      std::memcpy(out.data(), rgb, std::size_t(width) * 3);
      return;
  }
}

}  // namespace

std::int32_t DpiFromPixelsPerMetre(std::uint32_t pixelsPerMetre) {
  const std::int64_t dpi = (2 * std::int64_t{pixelsPerMetre} * kTenThousandthsPerInch + kTenThousandthsPerMetre) /
                           (2 * kTenThousandthsPerMetre);
  return static_cast<std::int32_t>(std::min<std::int64_t>(dpi, std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t PixelsPerMetreFromDpi(std::int32_t dpi) {
  if (dpi <= 0) return 0;
  return static_cast<std::uint32_t>((2 * std::int64_t{dpi} * kTenThousandthsPerMetre + kTenThousandthsPerInch) /
                                    (2 * kTenThousandthsPerInch));
}

CRaster ReadPng(std::FILE* file, std::uint64_t fileSize, const CDecodeLimits& limits,
                std::vector<std::string>& warnings) {
  CPngState state;
  state.file = file;
  CPngStructs<false> structs(state);
  png_set_read_fn(state.png, &state, ReadFromFile);
  CPngHeader header;
  if (!ReadHeader(state, header)) throw CFileProblem{std::string("not a PNG the tool reads: ") + state.message};
  CRaster raster;
  raster.kind = KindOfPng(header);
  raster.width = static_cast<std::int32_t>(header.width);
  raster.height = static_cast<std::int32_t>(header.height);
  raster.xDpi = DpiFromPixelsPerMetre(header.xPpm);
  raster.yDpi = DpiFromPixelsPerMetre(header.yPpm);
  if (raster.xDpi < 1 || raster.yDpi < 1) raster.xDpi = raster.yDpi = 0;
  if (limits.decode == TDecode::HeaderOnly) return raster;
  const std::uint64_t filtered = std::uint64_t{header.height} * (std::uint64_t{header.storedRowBytes} + 1);
  if (filtered > kDeflateMaxExpansion * fileSize) {
    throw CFileProblem{"the PNG declares " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                       " pixels, more than its " + std::to_string(fileSize) + " bytes can hold"};
  }
  if (header.alpha) warnings.emplace_back("its alpha channel is dropped");
  AllocateRaster(raster, limits.budget);
  if (raster.rowBytes != header.rowBytes) throw CFileProblem{"not a PNG layout the tool reads"};
  if (!ReadRows(state, header.passes, raster)) throw CFileProblem{std::string("broken PNG: ") + state.message};
  return raster;
}

void WritePng(std::FILE* out, const Kes::CPtr<Image::IImage>& image) {
  const auto info = image->GetImageInfo();
  const TKind kind = KindOf(image->GetImageType());
  const std::int32_t width = info->GetWidth();
  CPngState state;
  state.file = out;
  CPngStructs<true> structs(state);
  png_set_write_fn(state.png, &state, WriteToFile, FlushNothing);
  const int bitDepth = kind == TKind::BlackAndWhite ? 1 : 8;
  const int colorType = kind == TKind::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
  if (!WriteHeader(state, png_uint_32(width), png_uint_32(info->GetHeight()), bitDepth, colorType,
                   PixelsPerMetreFromDpi(info->GetXResolution()), PixelsPerMetreFromDpi(info->GetYResolution()))) {
    throw CFileProblem{std::string("cannot be written as PNG: ") + state.message};
  }
  const std::size_t rowBytes = kind == TKind::BlackAndWhite ? (std::size_t(width) + 7) / 8
                                                            : std::size_t(width) * (kind == TKind::Rgb ? 3 : 1);
  std::vector<std::uint8_t> packed(rowBytes);
  bool written = true;
  ForEachRow(image, [&](std::int32_t, const std::uint8_t* rgb) {
    PackRow(kind, rgb, width, packed);
    written = written && WriteRow(state, packed.data());
  });
  written = written && WriteEnd(state);
  if (!written) throw CFileProblem{std::string("cannot be written as PNG: ") + state.message};
}

}  // namespace BmpTool
