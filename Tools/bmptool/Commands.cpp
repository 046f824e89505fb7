#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Errors.h"
#include "Json.h"
#include "ModuleSession.h"
#include "Png.h"
#include "Pnm.h"
#include "Raster.h"
#include "RawHeader.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kDibWindow = 1064;
constexpr std::size_t kPaletteRoom = 1024;

Kes::CUnicodeString Wide(const std::string& text) { return Kes::CUnicodeString::FromUtf8(text); }

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CFileProblem{path, "cannot be read"};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
    std::printf("  header:       %s\n", HeaderName(raw->headerSize).c_str());
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
    json.Add("header", HeaderName(raw->headerSize));
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
  std::vector<std::uint8_t> head(kFileHeaderBytes + 40);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return ReadRawHeader(head, kFileHeaderBytes);
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

int RunInfo(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--json") json = true;
    else if (arg.size() > 1 && arg[0] == '-') throw CUsageError{"unknown option " + arg};
    else paths.push_back(arg);
  }
  if (paths.empty()) throw CUsageError{"info needs at least one FILE"};
  CModuleSession session;
  int status = ExitOk;
  std::vector<CJsonObject> report;
  for (const std::string& path : paths) {
    try {
      const auto file = session.Format()->OpenImageFile(Wide(path));
      const auto info = Kes::CastOrRaise<Image::IBmpImageInfo>(file->GetImageInfo(0));
      if (json) report.push_back(InfoJson(path, *info, RawHeaderOfFile(path)));
      else PrintInfo(path, *info, RawHeaderOfFile(path));
    } catch (Kes::CException* error) {
      if (json) {
        report.push_back(CJsonObject().Add("file", path).Add("error", ErrorJson(*error)));
        status = std::max<int>(status, ExitCodeOf(*error));
        error->Delete();
      } else {
        status = std::max<int>(status, ReportError(path, error));
      }
    }
  }
  if (json) PrintJsonArray(report);
  return status;
}

namespace {

struct CConvertOptions {
  std::optional<TKind> as;
  bool dib = false;
  std::string in, out;
};

CConvertOptions ParseConvert(const std::vector<std::string>& args) {
  CConvertOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--dib") {
      options.dib = true;
    } else if (args[i] == "--as") {
      if (i + 1 == args.size()) throw CUsageError{"--as needs bw, gray or rgb"};
      const std::string kind = args[++i];
      if (kind == "bw") options.as = TKind::BlackAndWhite;
      else if (kind == "gray") options.as = TKind::Gray;
      else if (kind == "rgb") options.as = TKind::Rgb;
      else throw CUsageError{"--as takes bw, gray or rgb, not " + kind};
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw CUsageError{"unknown option " + args[i]};
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) throw CUsageError{"convert needs IN and OUT"};
  options.in = files[0];
  options.out = files[1];
  return options;
}

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

// The DIB read from a file, padded with zeros so that the module's header
// window always lies in memory the tool owns.
std::vector<std::uint8_t> CheckedDib(const std::string& path, std::vector<std::uint8_t> bytes) {
  const std::optional<CRawHeader> header = ReadRawHeader(bytes, 0);
  if (!header) throw CFileProblem{path, "too short for a DIB header"};
  const std::optional<std::uint64_t> needed = DibBytesNeeded(*header);
  if (!needed) throw CFileProblem{path, "not a DIB header the module reads (header size " + std::to_string(header->headerSize) + ")"};
  if (*needed > bytes.size()) {
    throw CFileProblem{path, "the DIB declares " + std::to_string(*needed) + " bytes but holds " + std::to_string(bytes.size())};
  }
  bytes.resize(std::max<std::size_t>({bytes.size(), kDibWindow, std::size_t{header->headerSize} + kPaletteRoom}), 0);
  return bytes;
}

// Writes OUT under a temporary name in its directory and renames it into
// place, so a failure never leaves a half-written OUT.
class CTemporaryOutput {
public:
  explicit CTemporaryOutput(const std::string& out) : m_out(out), m_temporary(out + ".part") {}
  ~CTemporaryOutput() {
    std::error_code ignored;
    if (!m_committed) fs::remove(m_temporary, ignored);
  }
  const std::string& Path() const { return m_temporary; }
  void Commit() {
    fs::rename(m_temporary, m_out);
    m_committed = true;
  }

private:
  std::string m_out, m_temporary;
  bool m_committed = false;
};

void WritePnm(const std::string& path, TOutput output, const Kes::CPtr<Image::IImage>& image) {
  const auto info = image->GetImageInfo();
  const TPnmType type = PnmTypeOf(output, KindOf(image->GetImageType()));
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) throw CFileProblem{path, "cannot be created"};
  WritePnmHeader(out, type, info->GetWidth(), info->GetHeight());
  ForEachRow(image, [&](std::int32_t, const std::uint8_t* row) { WritePnmRow(out, type, row, info->GetWidth()); });
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) throw CFileProblem{path, "cannot be written"};
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  const CConvertOptions options = ParseConvert(args);
  const TOutput output = OutputOf(options.out);
  CModuleSession session;
  std::vector<std::uint8_t> held;  // a DIB's memory lives as long as its image
  try {
    Kes::CPtr<Image::IImage> image;
    std::vector<std::uint8_t> bytes = ReadAll(options.in);
    if (options.dib) {
      held = CheckedDib(options.in, std::move(bytes));
      image = session.Format()->CreateImageFromDIB(held.data(), 0);
    } else if (LooksLikePnm(bytes) || LooksLikePng(bytes)) {
      std::vector<std::string> warnings;
      CRaster raster = LooksLikePng(bytes) ? ParsePng(bytes, warnings) : ParsePnm(bytes);
      for (const std::string& warning : warnings) ReportProblem(options.in, "warning: " + warning);
      if (options.as) ConvertKind(raster, *options.as);
      image = MakeHostImage(raster, session.Services());
    } else {
      image = session.Format()->OpenImageFile(Wide(options.in))->OpenImagePage(0);
    }
    if (options.as && KindOf(image->GetImageType()) != *options.as) {
      CRaster raster = ReadRaster(image);
      ConvertKind(raster, *options.as);
      image = MakeHostImage(raster, session.Services());
    }
    CTemporaryOutput temporary(options.out);
    if (output == TOutput::Bmp) {
      auto writer = session.Format()->CreateImageFileWriter(Wide(temporary.Path()));
      writer->AddImagePage(image, nullptr);
    } else if (output == TOutput::Png) {
      WritePng(temporary.Path(), image);
    } else {
      WritePnm(temporary.Path(), output, image);
    }
    temporary.Commit();
    return ExitOk;
  } catch (Kes::CException* error) {
    return ReportError(options.in, error);
  } catch (const CPnmError& error) {
    ReportProblem(options.in, error.what());
    return ExitRefused;
  } catch (const CPngError& error) {
    ReportProblem(options.in, error.what());
    return ExitRefused;
  }
}

}  // namespace BmpTool
