#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

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

// --to by name, or OUT's extension (with its dot); nothing for any other.
std::optional<TOutput> OutputNamed(const std::string& name) {
  if (name == "bmp" || name == ".bmp" || name == ".dib") return TOutput::Bmp;
  if (name == "png" || name == ".png") return TOutput::Png;
  if (name == "ppm" || name == ".ppm") return TOutput::Ppm;
  if (name == "pgm" || name == ".pgm") return TOutput::Pgm;
  if (name == "pbm" || name == ".pbm") return TOutput::Pbm;
  if (name == "pnm" || name == ".pnm") return TOutput::Pnm;
  return std::nullopt;
}

TOutput OutputOf(const CConvertOptions& options) {
  if (!options.to.empty()) return *OutputNamed(options.to);  // CLI11 admits only the names
  if (options.out == kStandardStream) throw CUsageError{"writing to standard output (-) needs --to"};
  if (const std::optional<TOutput> output = OutputNamed(LowerExtension(options.out))) return *output;
  throw CUsageError{"OUT must end in .bmp, .dib, .png, .ppm, .pgm, .pbm or .pnm, or --to must name its format: " +
                    options.out};
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

// The image as the output needs it: of the kind --as asks for (black and white
// by threshold or, with --dither, by error diffusion), black-and-white rows too
// wide for strokes carried as gray. The conversion is made row by row.
Kes::CPtr<Image::IImage> InKind(Kes::CPtr<Image::IImage> image, const CConvertOptions& options,
                                const CModuleSession& session) {
  const auto info = image->GetImageInfo();
  const TKind from = KindOf(image->GetImageType());
  const TKind wanted = options.as.empty() ? from : KindNamed(options.as);
  const TKind to = HostKind(wanted, info->GetWidth());
  if (to != wanted) NoteCarriedAsGray(options.in);
  if (to == from) return image;
  const std::int32_t xDpi = info->GetXResolution(), yDpi = info->GetYResolution();
  std::unique_ptr<CRgbRowSource> rows = std::make_unique<CRgbRows>(image);
  if (options.dither) rows = std::make_unique<CDitheredRows>(std::move(rows));
  return MakeLazyImage(std::move(rows), to, xDpi, yDpi, session.Services());
}

// A memory file that refuses by name to grow beyond the memory budget.
class CBudgetedMemoryFile : public Kes::CMemoryFile {
public:
  explicit CBudgetedMemoryFile(std::uint64_t budget) : m_budget(budget) {}
  void SetLength(std::int64_t length) override {
    if (length > 0 && std::uint64_t(length) > m_budget) {
      throw CFileProblem{"the BMP file takes more than the memory budget of " + std::to_string(m_budget) +
                         " bytes (--max-memory) for standard output"};
    }
    Kes::CMemoryFile::SetLength(length);
  }

private:
  std::uint64_t m_budget;
};

// The module lays a BMP file out from its last row back, which a pipe cannot
// take: the file is made in memory within the budget, then copied out.
void WriteBmpToStream(std::FILE* out, const Kes::CPtr<Image::IImage>& image, const CModuleSession& session,
                      std::uint64_t budget) {
  CBudgetedMemoryFile memory(budget);
  session.Format()->CreateImageFileWriter(&memory)->AddImagePage(image, nullptr);
  std::fwrite(memory.Data(), 1, static_cast<std::size_t>(memory.GetLength()), out);
}

void Write(COutputFile& out, TOutput output, const Kes::CPtr<Image::IImage>& image, const CModuleSession& session,
           std::uint64_t budget) {
  switch (output) {
    case TOutput::Bmp:
      if (out.IsStandardOutput()) WriteBmpToStream(out.Stream(), image, session, budget);
      else session.Format()->CreateImageFileWriter(Wide(out.NameForModule()))->AddImagePage(image, nullptr);
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
  if (name.empty()) return false;  // standard output: the module writes to memory, not to a file
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
  const TOutput output = OutputOf(options);
  CModuleSession session;
  std::optional<CInput> input;    // standard input's bytes and
  std::vector<std::uint8_t> dib;  // a DIB's live as long as the image
  Kes::CPtr<Image::IImage> image;
  try {
    input.emplace(options.in, options.budget);
    const std::optional<TInputFormat> format =
        options.dib ? std::nullopt : std::optional(InputFormatOf(*input, session));
    image = format ? OpenInput(*input, *format, session, options.budget) : OpenDib(*input, session, options.budget, dib);
    if (!format) WarnIfAlphaDropped(*input, 0);
    else if (*format == TInputFormat::Bmp) WarnIfAlphaDropped(*input, kFileHeaderBytes);
    image = InKind(image, options, session);
  } catch (...) {
    return Report(options.in, CurrentFailure());
  }
  std::string nameForModule;
  try {
    COutputFile out(options.out);
    nameForModule = out.NameForModule();
    Write(out, output, image, session, options.budget);
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
