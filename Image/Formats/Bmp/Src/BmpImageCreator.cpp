#include "BmpImageCreator.h"

#include <algorithm>

#include "BmpRleReader.h"
#include "BmpStreams.h"
#include "CommonServices.h"
#include "ErrorSites.h"
#include "ImageFetchers.h"
#include "Kes/File.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

// A DIB's header is parsed through a window over its first bytes: a 40-byte
// header with 256 palette entries, or a V4/V5 header with as many.
constexpr std::int64_t kDibWindow = kInfoHeaderSize + kFullPaletteBytes;
// What one stream read carries: a stored row and an RGB output row must fit it.
constexpr std::int64_t kMaxStreamBytes = INT32_MAX;
constexpr std::int64_t kRgbBytesPerPixel = 3;

enum class TImageOrigin { File, Dib };

Kes::CPtrOwnerFO<Kes::CBaseFile> OpenSourceFile(const Kes::CPtr<IFileSource>& source) {
  Kes::CPtrOwnerFO<Kes::CBaseFile> file = source->OpenFile();
  if (!file) Kes::RaiseInternal(Kes::Sites::FileOwnerAccess);
  return file;
}

bool IsRunLength(TBmpPixelFormat format) { return format == BPF_Rle4 || format == BPF_Rle8; }

// Every limit an image must meet before a chain is built for it, in the
// order the refusals are reported. A DIB has no side limit, so only its rows
// can be too long for a stream.
CRowGeometry CheckImageLimits(const CBmpImageInfo& info, const Kes::CUnicodeString& name, TImageOrigin origin) {
  const bool fromFile = origin == TImageOrigin::File;
  if (fromFile && (info.GetWidth() > kMaxFileImageSide || info.GetHeight() > kMaxFileImageSide)) {
    RaiseSizeOfImageTooBig(name, DescribeSideLimits(kMaxFileImageSide, kMaxFileImageSide));
  }
  if (!IsDecodable(info.GetPixelFormat())) RaiseUnsupportedImageFileFormat(name, info.DescribeForm());
  if (info.GetHeight() <= 0 || info.GetWidth() <= 0) RaiseInvalidImageFile(name);
  // Only files are decoded run-length; a DIB that claims it is not one we read.
  if (!fromFile && IsRunLength(info.GetPixelFormat())) {
    RaiseUnsupportedImageFileFormat(name, info.DescribeForm() + u" in a DIB");
  }
  const CRowGeometry geometry = info.GetRowGeometry();
  if (geometry.stride > kMaxStreamBytes || info.GetWidth() * kRgbBytesPerPixel > kMaxStreamBytes) {
    RaiseSizeOfImageTooBig(name, Kes::Format(u"%d bytes per row", kMaxStreamBytes));
  }
  return geometry;
}

Kes::CPtr<IImage> LoadRunLengthImage(const Kes::CPtr<IFileSource>& source, const Kes::CPtr<CBmpImageInfo>& info) {
  std::int64_t offset = 0;
  std::int64_t length = 0;
  {
    Kes::CPtrOwnerFO<Kes::CBaseFile> file = OpenSourceFile(source);
    offset = ReadPixelOffset(*file);
    // An offset with its top bit set is bad data, not a broken caller.
    if (offset < 0) RaiseInvalidImageFile(file->GetFileName());
    length = file->GetLength();
  }
  CReadStreamPtr stream = Kes::MakeFastObject<CFileReadStream>(source, offset, length);
  return BuildImage(info, Kes::MakeFastObject<CBmpRlePage>(stream, info, length - offset));
}

// The caller's DIB read as a file, handed back untouched on every way out,
// so that the caller's memory is never freed or changed.
class CAttachedDib {
public:
  CAttachedDib(const std::uint8_t* dib, std::int64_t bytes) { m_file.Attach(dib, bytes, 1); }
  CAttachedDib(const CAttachedDib&) = delete;
  CAttachedDib& operator=(const CAttachedDib&) = delete;
  ~CAttachedDib() { m_file.Detach(); }
  Kes::CBaseFile& File() { return m_file; }

private:
  Kes::CMemoryFileEx m_file;
};

// The window that holds a DIB's header and palette or masks.
std::int64_t DibWindow(const std::uint8_t* dib) {
  CAttachedDib probe(dib, sizeof(std::uint32_t));
  const std::uint32_t headerSize = ReadDword(probe.File());
  if (headerSize == kV4HeaderSize || headerSize == kV5HeaderSize) return headerSize + kFullPaletteBytes;
  return kDibWindow;
}

}  // namespace

Kes::CPtr<CBmpImageInfo> LoadImageInfo(const Kes::CPtr<IFileSource>& source) {
  Kes::CPtr<CBmpImageInfo> info = Kes::MakeObject<CBmpImageInfo>();
  Kes::CPtrOwnerFO<Kes::CBaseFile> file = OpenSourceFile(source);
  info->LoadHeader(*file, /*hasFileHeader=*/true);
  return info;
}

Kes::CPtr<IImage> LoadImage(const Kes::CPtr<IFileSource>& source) {
  Kes::CPtr<CBmpImageInfo> info = LoadImageInfo(source);
  const CRowGeometry geometry = CheckImageLimits(*info, source->GetFileName(), TImageOrigin::File);
  if (IsRunLength(info->GetPixelFormat())) return LoadRunLengthImage(source, info);
  return BuildImage(info, Kes::MakeFastObject<CBmpFromFileReader>(source, *info, geometry));
}

Kes::CPtr<IImage> CreateImageFromDIB(const std::uint8_t* dib, std::int32_t xResolution, std::int32_t yResolution) {
  if (!dib) Kes::RaiseInternal(Sites::CreatorNullDib);
  if (xResolution < 0) Kes::RaiseInternal(Sites::CreatorNegativeXResolution, xResolution);
  if (yResolution < 0) Kes::RaiseInternal(Sites::CreatorNegativeYResolution, yResolution);
  Kes::CPtr<CBmpImageInfo> info = Kes::MakeObject<CBmpImageInfo>();
  const std::int64_t window = DibWindow(dib);
  const std::int64_t position = info->LoadHeader(CAttachedDib(dib, window).File(), /*hasFileHeader=*/false);
  if (xResolution != 0 && yResolution != 0) info->SetResolution(xResolution, yResolution);
  const CRowGeometry geometry = CheckImageLimits(*info, u"", TImageOrigin::Dib);
  // A V4/V5 header is skipped whole, whether or not a palette or masks follow it.
  const std::int64_t pixelStart = std::max<std::int64_t>(position, info->GetHeaderSize());
  return BuildImage(info, Kes::MakeFastObject<CBmpFromMemoryReader>(dib + pixelStart, *info, geometry));
}

Kes::CPtr<IImage> BuildImage(const Kes::CPtr<CBmpImageInfo>& info, CReadStreamPtr pixelSource) {
  const TBmpPixelFormat format = info->GetPixelFormat();
  CReadStreamPtr chain = std::move(pixelSource);
  switch (format) {
    case BPF_Palette1:
    case BPF_Palette4:
      chain = Kes::MakeFastObject<CUnpackBitStream>(chain, info->GetWidth(), CBmpImageInfo::GetBitsPerPixel(format));
      [[fallthrough]];
    case BPF_Palette8:
    case BPF_Rle4:  // a decoded run-length page delivers one index a pixel
    case BPF_Rle8: {
      const Kes::CPtr<IRGBColorMap> map = info->GetColorMap();
      if (map->IsBlackAndWhite()) return CreateImageFromBWStream(info, Kes::MakeFastObject<CColorMapToBW>(chain, map));
      if (map->IsGray()) return CreateImageFromGrayStream(info, Kes::MakeFastObject<CColorMapToGray>(chain, map));
      return CreateImageFromRGBStream(info, Kes::MakeFastObject<CColorMapToRGB>(chain, map));
    }
    case BPF_Rgb16:
    case BPF_BitFields16:
    case BPF_Rgb32:
    case BPF_BitFields32:
      return CreateImageFromRGBStream(info, Kes::MakeFastObject<CColorMaskToRGB>(chain, info->GetColorMask()));
    case BPF_Rgb24:
      return CreateImageFromRGBStream(info, chain);
    case BPF_Unknown:
    case BPF_Jpeg:
    case BPF_Png:
      break;
  }
  Kes::RaiseInternal(Sites::CreatorUnexpected, format);
}

}  // namespace Image
