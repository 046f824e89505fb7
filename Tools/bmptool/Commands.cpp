#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Errors.h"
#include "Input.h"
#include "Json.h"
#include "ModuleSession.h"
#include "Output.h"
#include "Png.h"
#include "Pnm.h"
#include "Raster.h"
#include "RawHeader.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;

Kes::CUnicodeString Wide(const std::string& text) { return Kes::CUnicodeString::FromUtf8(text); }

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
bool IsRead(TBmpPixelFormat f) { return f >= BPF_Palette1 && f <= BPF_Rle8; }

// The kind of host image the module makes, by the same tests in the same order.
const char* OpensAs(const Image::IBmpImageInfo& info) {
  const TBmpPixelFormat format = info.GetPixelFormat();
  if (!IsRead(format)) return "refused (not a pixel format the module reads)";
  if (!HasPalette(format)) return KindName(TKind::Rgb);
  const auto map = info.GetColorMap();
  if (map->IsBlackAndWhite()) return KindName(TKind::BlackAndWhite);
  return KindName(map->IsGray() ? TKind::Gray : TKind::Rgb);
}

void PrintInfo(const std::string& path, const Image::IBmpImageInfo& info, const std::optional<CRawHeader>& raw) {
  const TBmpPixelFormat format = info.GetPixelFormat();
  std::printf("%s:\n", path.c_str());
  std::printf("  format:       BMP\n");
  std::printf("  size:         %d x %d\n", info.GetWidth(), info.GetHeight());
  if (raw) {
    std::printf("  row order:    %s\n", raw->height < 0 ? "top-down" : "bottom-up");
    std::printf("  bits/pixel:   %u\n", raw->bitCount);
    std::printf("  compression:  %s\n", CompressionName(raw->compression));
  }
  std::printf("  pixel format: %s (%d)\n", PixelFormatName(format), static_cast<int>(format));
  if (HasPalette(format)) {
    const auto map = info.GetColorMap();
    std::printf("  palette:      %d entries%s%s\n", map->GetSize(), map->IsBlackAndWhite() ? ", black-and-white" : "",
                !map->IsBlackAndWhite() && map->IsGray() ? ", gray" : "");
  }
  if (HasMasks(format)) {
    const auto mask = info.GetColorMask();
    std::printf("  masks:        red 0x%08X, green 0x%08X, blue 0x%08X\n", mask->GetRedMask(), mask->GetGreenMask(),
                mask->GetBlueMask());
  }
  if (info.GetXResolution() > 0) {
    std::printf("  resolution:   %d x %d dpi\n", info.GetXResolution(), info.GetYResolution());
  } else {
    std::printf("  resolution:   not given\n");
  }
  std::printf("  opens as:     %s\n", OpensAs(info));
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

CJsonObject InfoJson(const std::string& path, const Image::IBmpImageInfo& info, const std::optional<CRawHeader>& raw) {
  const TBmpPixelFormat format = info.GetPixelFormat();
  CJsonObject json;
  json.Add("file", path).Add("format", "BMP").Add("width", std::int64_t{info.GetWidth()});
  json.Add("height", std::int64_t{info.GetHeight()});
  if (raw) {
    json.Add("rowOrder", raw->height < 0 ? "top-down" : "bottom-up").Add("bitsPerPixel", std::int64_t{raw->bitCount});
    json.Add("compression", CompressionName(raw->compression));
  }
  json.Add("pixelFormat", PixelFormatName(format)).Add("pixelFormatCode", std::int64_t{format});
  if (HasPalette(format)) {
    const auto map = info.GetColorMap();
    json.Add("paletteEntries", std::int64_t{map->GetSize()});
  }
  if (HasMasks(format)) {
    const auto mask = info.GetColorMask();
    json.Add("masks", CJsonObject()
                          .Add("red", Hex(mask->GetRedMask()))
                          .Add("green", Hex(mask->GetGreenMask()))
                          .Add("blue", Hex(mask->GetBlueMask())));
  }
  if (info.GetXResolution() > 0) {
    json.Add("resolution", CJsonObject()
                               .Add("x", std::int64_t{info.GetXResolution()})
                               .Add("y", std::int64_t{info.GetYResolution()}));
  } else {
    json.AddNull("resolution");
  }
  return json.Add("opensAs", OpensAs(info));
}

std::optional<CRawHeader> RawHeaderOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> head(kFileHeaderBytes + kInfoHeaderBytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return ReadRawHeader(head, kFileHeaderBytes);
}

const char* FormatName(TInputFormat format) { return format == TInputFormat::Png ? "PNG" : "PNM"; }

void PrintRasterInfo(const std::string& path, TInputFormat format, const CRaster& header) {
  std::printf("%s:\n", path.c_str());
  std::printf("  format:       %s\n", FormatName(format));
  std::printf("  size:         %d x %d\n", header.width, header.height);
  std::printf("  opens as:     %s\n", KindName(HostKind(header.kind, header.width)));
}

CJsonObject RasterInfoJson(const std::string& path, TInputFormat format, const CRaster& header) {
  return CJsonObject()
      .Add("file", path)
      .Add("format", FormatName(format))
      .Add("width", std::int64_t{header.width})
      .Add("height", std::int64_t{header.height})
      .Add("opensAs", KindName(HostKind(header.kind, header.width)));
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

int RunInfo(const CInfoOptions& options) {
  const bool json = options.json;
  CModuleSession session;
  int status = ExitOk;
  std::vector<CJsonObject> report;
  for (const std::string& path : options.files) {
    try {
      const TInputFormat format = InputFormatOf(path, session);
      if (format != TInputFormat::Bmp) {
        const CRaster header = ReadRasterHeader(path, format);
        if (json) report.push_back(RasterInfoJson(path, format, header));
        else PrintRasterInfo(path, format, header);
        continue;
      }
      const auto file = session.Format()->OpenImageFile(Wide(path));
      const auto info = Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0));
      if (json) report.push_back(InfoJson(path, *info, RawHeaderOfFile(path)));
      else PrintInfo(path, *info, RawHeaderOfFile(path));
    } catch (...) {
      const CFailure failure = CurrentFailure();
      status = std::max<int>(status, failure.code);
      if (json) report.push_back(CJsonObject().Add("file", path).Add("error", failure.json));
      else Report(path, failure);
    }
  }
  if (json) PrintJsonArray(report);
  return status;
}

namespace {

enum class TOutput { Bmp, Png, Ppm, Pgm, Pbm, Pnm };

TOutput OutputOf(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".bmp" || ext == ".dib") return TOutput::Bmp;
  if (ext == ".png") return TOutput::Png;
  if (ext == ".ppm") return TOutput::Ppm;
  if (ext == ".pgm") return TOutput::Pgm;
  if (ext == ".pbm") return TOutput::Pbm;
  if (ext == ".pnm") return TOutput::Pnm;
  throw CUsageError{"OUT must end in .bmp, .dib, .png, .ppm, .pgm, .pbm or .pnm: " + path};
}

TPnmType PnmTypeOf(TOutput output, TKind kind) {
  switch (output) {
    case TOutput::Pbm:
      return TPnmType::Bitmap;
    case TOutput::Pgm:
      return TPnmType::Graymap;
    case TOutput::Ppm:
      return TPnmType::Pixmap;
    case TOutput::Bmp:
    case TOutput::Png:
    case TOutput::Pnm:
      break;
  }
  switch (kind) {
    case TKind::BlackAndWhite:
      return TPnmType::Bitmap;
    case TKind::Gray:
      return TPnmType::Graymap;
    case TKind::Rgb:
      return TPnmType::Pixmap;
  }
  return TPnmType::Pixmap;
}

void WritePnm(std::FILE* out, TOutput output, const Kes::CPtr<Image::IImage>& image) {
  const std::int32_t width = image->GetImageInfo()->GetWidth();
  const TPnmType type = PnmTypeOf(output, KindOf(image->GetImageType()));
  WritePnmHeader(out, type, width, image->GetImageInfo()->GetHeight());
  std::vector<std::uint8_t> row;
  ForEachRow(image, [&](std::int32_t, const std::uint8_t* rgb) { WritePnmRow(out, type, rgb, width, row); });
}

TKind KindNamed(const std::string& name) {
  if (name == "bw") return TKind::BlackAndWhite;
  return name == "gray" ? TKind::Gray : TKind::Rgb;
}

// The image as the output needs it: of the kind --as asks for, black-and-white
// rows too wide for strokes carried as gray. The conversion is made row by row.
Kes::CPtr<Image::IImage> InKind(Kes::CPtr<Image::IImage> image, const CConvertOptions& options,
                                const CModuleSession& session) {
  const auto info = image->GetImageInfo();
  const TKind from = KindOf(image->GetImageType());
  const TKind wanted = options.as.empty() ? from : KindNamed(options.as);
  const TKind to = HostKind(wanted, info->GetWidth());
  if (to != wanted) NoteCarriedAsGray(options.in);
  if (to == from) return image;
  const std::int32_t xDpi = info->GetXResolution(), yDpi = info->GetYResolution();
  return MakeLazyImage(std::make_unique<CRgbRows>(image), to, xDpi, yDpi, session.Services());
}

void Write(COutputFile& out, TOutput output, const Kes::CPtr<Image::IImage>& image, const CModuleSession& session) {
  switch (output) {
    case TOutput::Bmp:
      session.Format()->CreateImageFileWriter(Wide(out.NameForModule()))->AddImagePage(image, nullptr);
      break;
    case TOutput::Png:
      WritePng(out.Stream(), image);
      break;
    case TOutput::Ppm:
    case TOutput::Pgm:
    case TOutput::Pbm:
    case TOutput::Pnm:
      WritePnm(out.Stream(), output, image);
      break;
  }
  out.Commit();
}

// Whether a module error raised while writing names the output file; any
// other comes from reading the (lazy) input.
bool NamesFile(const Kes::CException& error, const std::string& name) {
  for (int i = 1; i <= 3; ++i) {
    if (error.Param(i).ToUtf8().find(name) != std::string::npos) return true;
  }
  return false;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

}  // namespace

int RunConvert(const CConvertOptions& options) {
  const TOutput output = OutputOf(options.out);
  CModuleSession session;
  std::vector<std::uint8_t> dib;  // a DIB's memory lives as long as its image
  Kes::CPtr<Image::IImage> image;
  try {
    image = options.dib ? OpenDib(options.in, session, options.budget, dib)
                        : OpenInput(options.in, InputFormatOf(options.in, session), session, options.budget);
    image = InKind(image, options, session);
  } catch (...) {
    return Report(options.in, CurrentFailure());
  }
  std::string nameForModule;
  try {
    COutputFile out(options.out);
    nameForModule = out.NameForModule();
    Write(out, output, image, session);
    return ExitOk;
  } catch (Kes::CException* error) {
    const bool aboutOutput = NamesFile(*error, nameForModule);
    CFailure failure = CurrentFailure();
    if (aboutOutput) failure.text = "cannot be written: " + Replaced(failure.text, nameForModule, options.out);
    return Report(aboutOutput ? options.out : options.in, failure);
  } catch (...) {
    return Report(options.out, CurrentFailure());
  }
}

}  // namespace BmpTool
