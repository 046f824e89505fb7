#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

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

Kes::CUnicodeString Wide(const std::string& text) { return Kes::CUnicodeString::FromUtf8(text); }

}  // namespace

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
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
