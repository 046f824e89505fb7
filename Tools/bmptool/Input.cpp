#include "Input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>

#include "Commands.h"
#include "Errors.h"
#include "Png.h"
#include "Pnm.h"
#include "RawHeader.h"

namespace BmpTool {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::size_t kDibWindow = 1064;
constexpr std::size_t kPaletteRoom = 1024;

// A file opened for reading, with its size; a folder is refused as read(2) would.
class CInputFile {
public:
  explicit CInputFile(const std::string& path) : m_file(std::fopen(path.c_str(), "rb"), std::fclose) {
    if (!m_file) throw CFileProblem{WithSystemReason("cannot be read", errno)};
    struct stat status {};
    if (::fstat(::fileno(m_file.get()), &status) != 0) throw CFileProblem{WithSystemReason("cannot be read", errno)};
    if (S_ISDIR(status.st_mode)) throw CFileProblem{WithSystemReason("cannot be read", EISDIR)};
    m_size = static_cast<std::uint64_t>(status.st_size);
  }
  std::FILE* Get() const { return m_file.get(); }
  std::uint64_t Size() const { return m_size; }

private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
  std::uint64_t m_size = 0;
};

CRaster ReadRaster(const std::string& path, TInputFormat format, const CDecodeLimits& limits) {
  const CInputFile file(path);
  std::vector<std::string> warnings;
  CRaster raster = format == TInputFormat::Png ? ReadPng(file.Get(), file.Size(), limits, warnings)
                                               : ReadPnm(file.Get(), file.Size(), limits);
  for (const std::string& warning : warnings) ReportProblem(path, "warning: " + warning);
  return raster;
}

// The DIB, padded with zeros so that the module's header window lies in memory the tool owns.
std::vector<std::uint8_t> ReadDib(const std::string& path, std::uint64_t budget) {
  const CInputFile file(path);
  if (file.Size() > budget) {
    throw CFileProblem{"a DIB of " + std::to_string(file.Size()) + " bytes is more than the memory budget of " +
                       std::to_string(budget) + " (--max-memory)"};
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  if (std::fread(bytes.data(), 1, bytes.size(), file.Get()) != bytes.size()) {
    throw CFileProblem{WithSystemReason("cannot be read", std::ferror(file.Get()) ? errno : EIO)};
  }
  const std::optional<CRawHeader> header = ReadRawHeader(bytes, 0);
  if (!header) throw CFileProblem{"too short for a DIB header"};
  const std::optional<std::uint64_t> needed = DibBytesNeeded(*header);
  if (!needed) throw CFileProblem{"not a DIB header the module reads (header size " + std::to_string(header->headerSize) + ")"};
  if (*needed > bytes.size()) {
    throw CFileProblem{"the DIB declares " + std::to_string(*needed) + " bytes but holds " + std::to_string(bytes.size())};
  }
  bytes.resize(std::max<std::size_t>({bytes.size(), kDibWindow, std::size_t{header->headerSize} + kPaletteRoom}), 0);
  return bytes;
}

}  // namespace

TInputFormat InputFormatOf(const std::string& path, const CModuleSession& session) {
  std::uint8_t head[kSignatureBytes] = {};
  std::size_t got = 0;
  {
    const CInputFile file(path);
    got = std::fread(head, 1, sizeof head, file.Get());
  }
  if (HasPngSignature(head, got)) return TInputFormat::Png;
  if (HasPnmSignature(head, got)) return TInputFormat::Pnm;
  if (session.Format()->IsFormatOf(Kes::CUnicodeString::FromUtf8(path))) return TInputFormat::Bmp;
  if (LooksLikeDibHeader(head, got)) throw CFileProblem{"not a BMP, PNG or PNM file (it starts like a DIB header: try --dib)"};
  throw CFileProblem{"not a BMP, PNG or PNM file"};
}

CRaster ReadRasterHeader(const std::string& path, TInputFormat format) {
  return ReadRaster(path, format, {TDecode::HeaderOnly, 0});
}

TKind HostKind(TKind kind, std::int32_t width) {
  return kind == TKind::BlackAndWhite && width > kMaxStrokeWidth ? TKind::Gray : kind;
}

void NoteCarriedAsGray(const std::string& path) {
  ReportProblem(path, "note: black-and-white rows wider than " + std::to_string(kMaxStrokeWidth) +
                          " pixels are carried as gray (0 and 255) and written as 8-bit gray");
}

Kes::CPtr<Image::IImage> OpenInput(const std::string& path, TInputFormat format, const CModuleSession& session,
                                   std::uint64_t budget) {
  if (format == TInputFormat::Bmp) {
    return session.Format()->OpenImageFile(Kes::CUnicodeString::FromUtf8(path))->OpenImagePage(0);
  }
  CRaster raster = ReadRaster(path, format, {TDecode::Pixels, budget});
  const TKind kind = HostKind(raster.kind, raster.width);
  if (kind != raster.kind) NoteCarriedAsGray(path);
  const std::int32_t xDpi = raster.xDpi, yDpi = raster.yDpi;
  return MakeLazyImage(std::make_unique<CRasterRows>(std::move(raster)), kind, xDpi, yDpi, session.Services());
}

Kes::CPtr<Image::IImage> OpenDib(const std::string& path, const CModuleSession& session, std::uint64_t budget,
                                 std::vector<std::uint8_t>& dib) {
  dib = ReadDib(path, budget);
  return session.Format()->CreateImageFromDIB(dib.data(), 0);
}

std::uint64_t DefaultMemoryBudget() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kGiB;
  return std::min(kGiB, std::uint64_t(pages) * std::uint64_t(pageSize) / 2);
}

std::uint64_t ParseMemorySize(const std::string& text) {
  std::size_t digits = 0;
  std::uint64_t value = 0;
  for (; digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])); ++digits) {
    if (value > std::numeric_limits<std::uint64_t>::max() / 10 / kGiB) throw CUsageError{"--max-memory is too large: " + text};
    value = value * 10 + std::uint64_t(text[digits] - '0');
  }
  const std::string unit = text.substr(digits);
  int shift = -1;
  if (unit.empty()) shift = 0;
  else if (unit == "K" || unit == "k") shift = 10;
  else if (unit == "M" || unit == "m") shift = 20;
  else if (unit == "G" || unit == "g") shift = 30;
  if (digits == 0 || shift < 0) throw CUsageError{"--max-memory takes a size such as 512M or 2G, not " + text};
  return value << shift;
}

}  // namespace BmpTool
