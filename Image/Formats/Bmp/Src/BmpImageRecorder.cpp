#include "BmpImageRecorder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "BmpFileLayout.h"
#include "BmpImageInfo.h"
#include "BmpStreams.h"
#include "CommonServices.h"
#include "CommonStreams.h"
#include "ErrorSites.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"
#include "Kes/ByteOrder.h"
#include "Kes/Factory.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

constexpr std::int64_t kBlackAndWhiteEntries = 2, kGrayEntries = kMaxPaletteEntries;
constexpr std::int32_t kConvertAlignment = 4;
constexpr std::int64_t kMaxRowBytes = INT32_MAX;

TBmpPixelFormat FormatFor(TImageType type) {
  switch (type) {
    case ImageTypeBlackAndWhite:
      return BPF_Palette1;
    case ImageTypeGray:
      return BPF_Palette8;
    case ImageTypeRGB:
      return BPF_Rgb24;
  }
  Kes::RaiseInternal(Sites::RecorderImageType, type);
}

std::int64_t PaletteEntries(TBmpPixelFormat format) {
  if (format == BPF_Palette1) return kBlackAndWhiteEntries;
  return format == BPF_Palette8 ? kGrayEntries : 0;
}

// The headers are emitted field by field at a moving cursor.
void Put16(std::uint8_t*& at, std::uint16_t value) {
  Kes::StoreLe16(at, value);
  at += sizeof value;
}

void Put32(std::uint8_t*& at, std::uint32_t value) {
  Kes::StoreLe32(at, value);
  at += sizeof value;
}

void WritePalette(Kes::CBaseFile& file, TBmpPixelFormat format) {
  std::array<std::uint8_t, kFullPaletteBytes> palette{};
  const std::int64_t entries = PaletteEntries(format);
  for (std::int64_t i = 0; i < entries; ++i) {
    // Black-and-white: 0 black, 1 white. Gray: index i shows level 255 - i.
    const auto level = static_cast<std::uint8_t>(format == BPF_Palette1 ? (i == 0 ? 0 : 255) : 255 - i);
    std::fill_n(palette.begin() + i * kPaletteEntryBytes, 3, level);  // blue, green, red
  }
  if (entries > 0) file.Write(palette.data(), entries * kPaletteEntryBytes);
}

// Stroke rows go to the file in stored order: bottom row first.
void RecordStrokeRows(const Kes::CPtr<IImage>& image, CWriteImageStream& stream) {
  if (image->GetImageType() != ImageTypeBlackAndWhite) Kes::RaiseInternal(Sites::RecorderImageType, image->GetImageType());
  const std::int32_t width = image->GetImageInfo()->GetWidth();
  const std::int32_t height = image->GetImageInfo()->GetHeight();
  const auto reader = Kes::CastOrRaise<IRLEImageReader>(image->GetReader());
  // Strokes may touch, so a valid row holds up to one stroke per pixel (and
  // 16-bit coordinates hold no more) before its end stroke.
  const std::int64_t maxStrokes = std::min<std::int64_t>(width, INT16_MAX) + 1;
  stream.BeginImage();
  for (std::int32_t y = height - 1; y >= 0; --y) {
    const CRleStroke* strokes = reader->GetRow(y);
    std::int64_t count = 1;  // strokes up to and including the end stroke
    while (!IsEndStroke(strokes[count - 1])) {
      if (count++ == maxStrokes) Kes::RaiseInternal(Sites::RecorderNoEndStroke, y);
    }
    stream.Write(strokes, static_cast<std::int32_t>(count * std::int64_t{sizeof(CRleStroke)}));
    reader->ReleaseRow(y);
  }
  stream.EndImage();
}

// Gray and RGB rows are read top first and written from the end of the pixel
// area backwards. They are gathered, in file order, into runs of up to
// kChainBlockBytes that each take one seek and one write: row by row, the walk
// backwards cost a seek and a system call per row.
template <class Reader>
void RecordTopDownRows(const Kes::CPtr<IImage>& image, CBmpToFileWriter& stream) {
  const std::int32_t height = image->GetImageInfo()->GetHeight();
  const auto reader = Kes::CastOrRaise<Reader>(image->GetReader());
  const std::int32_t rowBytes = stream.RowBytes();
  const std::int64_t stride = std::int64_t{rowBytes} + stream.Padding();
  const auto rowsPerRun = static_cast<std::int32_t>(std::clamp<std::int64_t>(kChainBlockBytes / stride, 1, height));
  const std::int64_t topRowPosition = stream.File().GetPosition();
  stream.BeginImage();
  if (rowsPerRun == 1) {
    // Rows as large as a run go straight from the image to the file.
    for (std::int32_t y = 0; y < height; ++y) {
      stream.File().Seek(topRowPosition - y * stride, Kes::SeekBegin);
      stream.Write(reader->GetRow(y), rowBytes);
      reader->ReleaseRow(y);
    }
    stream.EndImage();
    return;
  }
  Kes::CArray<std::uint8_t> run;
  run.SetCount(static_cast<std::int32_t>(rowsPerRun * stride));  // at most kChainBlockBytes
  for (std::int32_t first = 0; first < height; first += rowsPerRun) {
    const std::int32_t rows = std::min(rowsPerRun, height - first);
    for (std::int32_t i = 0; i < rows; ++i) {
      std::uint8_t* at = run.Data() + (rows - 1 - i) * stride;  // the lowest row of the run comes first
      std::memcpy(at, reader->GetRow(first + i), static_cast<std::size_t>(rowBytes));
      reader->ReleaseRow(first + i);
    }
    stream.File().Seek(topRowPosition - (first + rows - 1) * stride, Kes::SeekBegin);
    stream.File().Write(run.Data(), rows * stride);
  }
  stream.EndImage();
}

}  // namespace

CBmpHeaders MakeBmpHeaders(const IImageInfo& info, TBmpPixelFormat format, const Kes::CUnicodeString& fileName) {
  CBmpHeaders headers;
  headers.width = info.GetWidth();
  headers.height = info.GetHeight();
  if (headers.width < 1 || headers.height < 1) Kes::RaiseInternal(Sites::RecorderImageSize, headers.width);
  const std::int32_t bits = CBmpImageInfo::GetBitsPerPixel(format);
  headers.bitCount = static_cast<std::uint16_t>(bits);
  headers.format = format;
  const CRowGeometry rows = MakeRowGeometry(headers.width, headers.height, bits);
  headers.rowBytes = rows.rowBytes;
  headers.stride = rows.stride;
  const std::int64_t dataOffset = kHeadersSize + PaletteEntries(format) * kPaletteEntryBytes;
  if (rows.rowBytes > kMaxRowBytes || rows.pixelBytes > kMaxBmpFileSize - dataOffset) {
    RaiseSizeOfImageTooBig(fileName, Kes::Format(u"%s bytes", Kes::UnicodeStr(kMaxBmpFileSize, 10)));
  }
  headers.dataOffset = static_cast<std::uint32_t>(dataOffset);
  headers.fileSize = static_cast<std::uint32_t>(rows.pixelBytes + dataOffset);
  headers.xPixelsPerMetre = PixelsPerMetreFromDpi(info.GetXResolution());
  headers.yPixelsPerMetre = PixelsPerMetreFromDpi(info.GetYResolution());
  return headers;
}

void WriteBmpHeaders(Kes::CBaseFile& file, const CBmpHeaders& headers) {
  std::array<std::uint8_t, kHeadersSize> bytes{};
  std::uint8_t* at = bytes.data();
  at = std::copy(std::begin(kBmpSignature), std::end(kBmpSignature), at);
  Put32(at, headers.fileSize);
  Put32(at, 0);  // two reserved words
  Put32(at, headers.dataOffset);
  Put32(at, kInfoHeaderSize);
  Put32(at, static_cast<std::uint32_t>(headers.width));
  Put32(at, static_cast<std::uint32_t>(headers.height));  // positive: bottom-up
  Put16(at, 1);                                           // planes
  Put16(at, headers.bitCount);
  Put32(at, 0);  // no compression
  Put32(at, 0);  // image size
  Put32(at, static_cast<std::uint32_t>(headers.xPixelsPerMetre));
  Put32(at, static_cast<std::uint32_t>(headers.yPixelsPerMetre));
  Put32(at, 0);  // colours used
  Put32(at, 0);  // important colours
  file.SeekToBegin();
  file.Write(bytes.data(), kHeadersSize);
}

CBmpHeaders PlanBmpImage(const Kes::CPtr<IImage>& image, const Kes::CPtr<IBmpImageSaveParams>& params,
                         const Kes::CUnicodeString& fileName) {
  if (!image) Kes::RaiseInternal(Sites::RecorderNoImage);
  const TBmpPixelFormat suited = FormatFor(image->GetImageType());
  // A format the image cannot be written in is the caller's mistake.
  if (params && params->GetPixelFormat() != suited) RaiseBadParamCall(u"IImageFile", u"AddImagePage", 1);
  return MakeBmpHeaders(*image->GetImageInfo(), suited, fileName);
}

void RecordBmpImage(Kes::CBaseFile& file, const Kes::CPtr<IImage>& image, const CBmpHeaders& headers) {
  const TImageType type = image->GetImageType();
  WriteBmpHeaders(file, headers);
  WritePalette(file, headers.format);
  const auto rowBytes = static_cast<std::int32_t>(headers.rowBytes);
  if (type == ImageTypeBlackAndWhite) {
    CWriteStreamPtr output = Kes::MakeFastObject<CBmpToFileWriter>(&file, rowBytes, headers.dataOffset);
    CWriteStreamPtr strokes = Kes::MakeFastObject<CRLEStrokeToBits>(output, headers.width);
    const auto services = Kes::CreateObject<IImageServices>(u"Image.ImageServices");
    const Kes::CPtr<IImage> converted = services->ConvertImage(image, kConvertAlignment);
    RecordStrokeRows(converted, *strokes);
    return;
  }
  const std::int64_t topRow = std::int64_t{headers.fileSize} - headers.stride;  // bottom-up: the top row is stored last
  const auto output = Kes::MakeFastObject<CBmpToFileWriter>(&file, rowBytes, topRow);
  if (type == ImageTypeGray) return RecordTopDownRows<IGrayImageReader>(image, *output);
  RecordTopDownRows<IRGBImageReader>(image, *output);
}

}  // namespace Image
