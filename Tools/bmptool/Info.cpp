// bmptool info: one record per file, printed as text or as JSON.
#include <cstdio>
#include <limits>
#include <optional>

#include "Commands.h"
#include "Errors.h"
#include "Input.h"
#include "ImageHost/HostServices.h"
#include "Json.h"
#include "Kes/ByteOrder.h"
#include "ModuleSession.h"
#include "RawHeader.h"

namespace BmpTool {
namespace {

// Fields of the file header.
constexpr std::size_t kFileSizeAt = 2;
constexpr std::size_t kPixelOffsetAt = 10;

const char* PixelFormatName(TBmpPixelFormat format) {
  switch (format) {
    case BPF_Unknown:
      return "unknown";
    case BPF_Palette1:
      return "Palette1";
    case BPF_Palette4:
      return "Palette4";
    case BPF_Palette8:
      return "Palette8";
    case BPF_Rgb16:
      return "Rgb16 (5-5-5)";
    case BPF_BitFields16:
      return "BitFields16";
    case BPF_Rgb24:
      return "Rgb24";
    case BPF_Rgb32:
      return "Rgb32";
    case BPF_BitFields32:
      return "BitFields32";
    case BPF_Rle4:
      return "Rle4";
    case BPF_Rle8:
      return "Rle8";
    case BPF_Jpeg:
      return "Jpeg";
    case BPF_Png:
      return "Png";
  }
  return "unknown";
}

bool HasPalette(TBmpPixelFormat f) {
  return f == BPF_Palette1 || f == BPF_Palette4 || f == BPF_Palette8 || f == BPF_Rle4 || f == BPF_Rle8;
}
bool HasMasks(TBmpPixelFormat f) {
  return f == BPF_Rgb16 || f == BPF_BitFields16 || f == BPF_Rgb32 || f == BPF_BitFields32;
}

struct CPalette {
  std::int32_t entries = 0;
  bool blackAndWhite = false;
  bool gray = false;  // black-and-white palettes are gray too
};

struct CMasks {
  std::uint32_t red = 0, green = 0, blue = 0;
  std::optional<std::uint32_t> alpha;  // only when the header declares one
};

// What the stored header says beyond the module's description.
struct CStored {
  std::string header;  // "OS/2 core header, 12 bytes" and so on
  bool topDown = false;
  std::uint16_t bitsPerPixel = 0;
  const char* compression = "";
};

// Everything info tells about one file; optional parts are BMP only.
struct CInfoRecord {
  std::string file;
  const char* format = "";
  std::int32_t width = 0, height = 0;
  std::optional<CStored> stored;
  std::optional<TBmpPixelFormat> pixelFormat;
  std::optional<CPalette> palette;
  std::optional<CMasks> masks;
  std::int32_t xDpi = 0, yDpi = 0;  // 0: not given
  const char* opensAs = "";
};

// The kind of host image the module makes, by the same tests in the same order.
const char* OpensAs(TBmpPixelFormat format, const std::optional<CPalette>& palette) {
  if (!IsDecodable(format)) return "refused (not a pixel format the module reads)";
  if (!palette) return KindName(TKind::Rgb);
  if (palette->blackAndWhite) return KindName(TKind::BlackAndWhite);
  return KindName(palette->gray ? TKind::Gray : TKind::Rgb);
}

CInfoRecord BmpRecord(const std::string& path, const Image::IBmpImageInfo& info, const std::optional<CRawHeader>& raw) {
  const TBmpPixelFormat format = info.GetPixelFormat();
  CInfoRecord record;
  record.file = path;
  record.format = "BMP";
  record.width = info.GetWidth();
  record.height = info.GetHeight();
  record.pixelFormat = format;
  if (raw) record.stored = CStored{HeaderName(raw->headerSize), raw->height < 0, raw->bitCount, CompressionName(raw->compression)};
  if (HasPalette(format)) {
    const auto map = info.GetColorMap();
    record.palette = CPalette{map->GetSize(), map->IsBlackAndWhite(), map->IsGray()};
  }
  if (HasMasks(format)) {
    const auto mask = info.GetColorMask();
    record.masks = CMasks{mask->GetRedMask(), mask->GetGreenMask(), mask->GetBlueMask(), {}};
    if (raw && raw->alphaMask != 0) record.masks->alpha = raw->alphaMask;
  }
  record.xDpi = info.GetXResolution();
  record.yDpi = info.GetYResolution();
  record.opensAs = OpensAs(format, record.palette);
  return record;
}

CInfoRecord RasterRecord(const std::string& path, TInputFormat format, const CRaster& header) {
  CInfoRecord record;
  record.file = path;
  record.format = format == TInputFormat::Png ? "PNG" : "PNM";
  record.width = header.width;
  record.height = header.height;
  record.xDpi = header.xDpi;
  record.yDpi = header.yDpi;
  record.opensAs = KindName(HostKind(header.kind, header.width));
  return record;
}

void PrintText(const CInfoRecord& r) {
  std::printf("%s:\n", r.file.c_str());
  std::printf("  format:       %s\n", r.format);
  std::printf("  size:         %d x %d\n", r.width, r.height);
  if (r.stored) {
    std::printf("  header:       %s\n", r.stored->header.c_str());
    std::printf("  row order:    %s\n", r.stored->topDown ? "top-down" : "bottom-up");
    std::printf("  bits/pixel:   %u\n", r.stored->bitsPerPixel);
    std::printf("  compression:  %s\n", r.stored->compression);
  }
  if (r.pixelFormat) std::printf("  pixel format: %s (%d)\n", PixelFormatName(*r.pixelFormat), int(*r.pixelFormat));
  if (r.palette) {
    const char* kind = r.palette->blackAndWhite ? ", black-and-white" : r.palette->gray ? ", gray" : "";
    std::printf("  palette:      %d entries%s\n", r.palette->entries, kind);
  }
  if (r.masks) {
    std::printf("  masks:        red 0x%08X, green 0x%08X, blue 0x%08X", r.masks->red, r.masks->green, r.masks->blue);
    if (r.masks->alpha) std::printf(", alpha 0x%08X", *r.masks->alpha);
    std::printf("\n");
  }
  if (r.xDpi > 0) std::printf("  resolution:   %d x %d dpi\n", r.xDpi, r.yDpi);
  else std::printf("  resolution:   not given\n");
  std::printf("  opens as:     %s\n", r.opensAs);
}

CJson Json(const CInfoRecord& r) {
  CJson json{{"file", r.file}, {"format", r.format}, {"width", r.width}, {"height", r.height}};
  if (r.stored) {
    json["header"] = r.stored->header;
    json["rowOrder"] = r.stored->topDown ? "top-down" : "bottom-up";
    json["bitsPerPixel"] = r.stored->bitsPerPixel;
    json["compression"] = r.stored->compression;
  }
  if (r.pixelFormat) {
    json["pixelFormat"] = PixelFormatName(*r.pixelFormat);
    json["pixelFormatCode"] = int(*r.pixelFormat);
  }
  if (r.palette) {
    json["paletteEntries"] = r.palette->entries;
    json["paletteGray"] = r.palette->gray;
    json["paletteBlackAndWhite"] = r.palette->blackAndWhite;
  }
  if (r.masks) {
    json["masks"] = {{"red", r.masks->red}, {"green", r.masks->green}, {"blue", r.masks->blue}};
    if (r.masks->alpha) json["masks"]["alpha"] = *r.masks->alpha;
  }
  json["resolution"] = r.xDpi > 0 ? CJson{{"x", r.xDpi}, {"y", r.yDpi}, {"unit", "dpi"}} : CJson();
  json["opensAs"] = r.opensAs;
  return json;
}

// A packed DIB as the BMP file it would be: a file header put before it, so
// that the module describes it as it describes files.
std::vector<std::uint8_t> AsBmpFile(std::vector<std::uint8_t> dib) {
  const std::optional<CRawHeader> header = ReadRawHeader(dib, 0);  // ReadDib checked both
  const std::uint64_t pixelOffset = kFileHeaderBytes + *DibPixelOffset(*header);
  const std::uint64_t size = kFileHeaderBytes + dib.size();
  if (size > std::numeric_limits<std::uint32_t>::max()) throw CFileProblem{"too large for a BMP file header"};
  dib.insert(dib.begin(), kFileHeaderBytes, 0);
  dib[0] = 'B';
  dib[1] = 'M';
  Kes::StoreLe32(&dib[kFileSizeAt], static_cast<std::uint32_t>(size));
  Kes::StoreLe32(&dib[kPixelOffsetAt], static_cast<std::uint32_t>(pixelOffset));
  return dib;
}

CInfoRecord BmpRecordOf(const std::string& path, const Kes::CPtr<Image::IFileSource>& source,
                        const std::vector<std::uint8_t>& head, const CModuleSession& session) {
  const auto file = session.Format()->OpenImageFile(source);
  const auto info = Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0));
  return BmpRecord(path, *info, ReadRawHeader(head, kFileHeaderBytes));
}

CInfoRecord DibRecordOf(const std::string& path, const CModuleSession& session, std::uint64_t budget) {
  const std::vector<std::uint8_t> bytes = AsBmpFile(ReadDib(CInput(path, budget), budget));
  const auto source = Image::CreateMemoryFileSource(bytes.data(), std::int64_t(bytes.size()), Kes::CUnicodeString::FromUtf8(path));
  CInfoRecord record = BmpRecordOf(path, source, bytes, session);
  record.format = "DIB";
  return record;
}

CInfoRecord RecordOf(const std::string& path, const CModuleSession& session, std::uint64_t budget) {
  const CInput input(path, budget);
  const TInputFormat format = InputFormatOf(input, session);
  if (format != TInputFormat::Bmp) return RasterRecord(path, format, ReadRasterHeader(input, format));
  return BmpRecordOf(path, input.FileSource(session), input.Head(kFileHeaderBytes + kRawHeaderBytes), session);
}

}  // namespace

int RunInfo(const CInfoOptions& options) {
  CModuleSession session;
  int status = ExitOk;
  std::vector<CJson> report;
  for (const std::string& path : options.files) {
    try {
      const CInfoRecord record =
          options.dib ? DibRecordOf(path, session, options.budget) : RecordOf(path, session, options.budget);
      if (options.json) report.push_back(Json(record));
      else PrintText(record);
    } catch (...) {
      const CFailure failure = CurrentFailure();
      status = std::max<int>(status, failure.code);
      if (options.json) report.push_back({{"file", path}, {"error", failure.json}});
      else Report(path, failure);
    }
  }
  if (options.json) PrintJsonArray(report);
  return status;
}

}  // namespace BmpTool
