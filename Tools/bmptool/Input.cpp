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

constexpr std::size_t kStandardInputChunk = 64 * 1024;

Kes::CUnicodeString Wide(const std::string& text) { return Kes::CUnicodeString::FromUtf8(text); }

// Standard input, read to its end; more than the budget is refused as soon as
// it is seen, so that an endless stream cannot take the machine's memory.
std::unique_ptr<Kes::CMemoryFile> ReadStandardInput(std::uint64_t budget) {
  auto memory = std::make_unique<Kes::CMemoryFile>(kStandardInputChunk);
  std::vector<std::uint8_t> chunk(kStandardInputChunk);
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw CFileProblem{WithSystemReason("cannot be read", errno)};
    if (got == 0) break;
    if (std::uint64_t(memory->GetLength()) + std::uint64_t(got) > budget) {
      throw CFileProblem{"standard input holds more than the memory budget of " + std::to_string(budget) +
                         " bytes (--max-memory)"};
    }
    memory->Write(chunk.data(), got);
  }
  // An empty memory file has no bytes to open a stream over.
  if (memory->GetLength() == 0) throw CFileProblem{"standard input is empty"};
  return memory;
}

// An input opened for reading from its start, with its size; a folder is
// refused as read(2) would.
class CInputFile {
public:
  explicit CInputFile(const CInput& input) : m_file(nullptr, std::fclose) {
    if (const Kes::CMemoryFile* memory = input.Memory()) {
      m_size = static_cast<std::uint64_t>(memory->GetLength());
      // Opened for reading only: the bytes are never written through the stream.
      m_file.reset(::fmemopen(const_cast<std::uint8_t*>(memory->Data()), m_size, "rb"));
      if (!m_file) throw CFileProblem{WithSystemReason("cannot be read", errno)};
      return;
    }
    m_file.reset(std::fopen(input.Name().c_str(), "rb"));
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

CRaster ReadRaster(const CInput& input, TInputFormat format, const CDecodeLimits& limits) {
  const CInputFile file(input);
  std::vector<std::string> warnings;
  CRaster raster = format == TInputFormat::Png ? ReadPng(file.Get(), file.Size(), limits, warnings)
                                               : ReadPnm(file.Get(), file.Size(), limits);
  for (const std::string& warning : warnings) ReportProblem(input.Name(), "warning: " + warning);
  return raster;
}

}  // namespace

CInput::CInput(std::string name, std::uint64_t budget) : m_name(std::move(name)) {
  if (m_name == kStandardStream) m_memory = ReadStandardInput(budget);
}

std::vector<std::uint8_t> CInput::Head(std::size_t count) const {
  std::vector<std::uint8_t> head(count);
  const CInputFile file(*this);
  head.resize(std::fread(head.data(), 1, head.size(), file.Get()));
  return head;
}

Kes::CPtr<Image::IFileSource> CInput::FileSource(const CModuleSession& session) const {
  if (!m_memory) return session.Services()->CreateFileSource(Wide(m_name));
  return Image::CreateMemoryFileSource(m_memory->Data(), m_memory->GetLength(), Wide(m_name));
}

TInputFormat InputFormatOf(const CInput& input, const CModuleSession& session) {
  const std::vector<std::uint8_t> head = input.Head(kSignatureBytes);
  if (HasPngSignature(head.data(), head.size())) return TInputFormat::Png;
  if (HasPnmSignature(head.data(), head.size())) return TInputFormat::Pnm;
  if (session.Format()->IsFormatOf(input.FileSource(session))) return TInputFormat::Bmp;
  if (LooksLikeDibHeader(head.data(), head.size())) {
    throw CFileProblem{"not a BMP, PNG or PNM file (it starts like a DIB header: try --dib)"};
  }
  throw CFileProblem{"not a BMP, PNG or PNM file"};
}

CRaster ReadRasterHeader(const CInput& input, TInputFormat format) {
  return ReadRaster(input, format, {TDecode::HeaderOnly, 0});
}

TKind HostKind(TKind kind, std::int32_t width) {
  return kind == TKind::BlackAndWhite && width > kMaxStrokeWidth ? TKind::Gray : kind;
}

void NoteCarriedAsGray(const std::string& path) {
  ReportProblem(path, "note: black-and-white rows wider than " + std::to_string(kMaxStrokeWidth) +
                          " pixels are carried as gray (0 and 255) and written as 8-bit gray");
}

void WarnIfAlphaDropped(const CInput& input, std::size_t headerOffset) {
  const std::optional<CRawHeader> header = ReadRawHeader(input.Head(headerOffset + kRawHeaderBytes), headerOffset);
  if (header && header->alphaMask != 0) ReportProblem(input.Name(), "warning: its alpha channel is dropped");
}

Kes::CPtr<Image::IImage> OpenInput(const CInput& input, TInputFormat format, const CModuleSession& session,
                                   std::uint64_t budget) {
  if (format == TInputFormat::Bmp) return session.Format()->OpenImageFile(input.FileSource(session))->OpenImagePage(0);
  CRaster raster = ReadRaster(input, format, {TDecode::Pixels, budget});
  const TKind kind = HostKind(raster.kind, raster.width);
  if (kind != raster.kind) NoteCarriedAsGray(input.Name());
  const std::int32_t xDpi = raster.xDpi, yDpi = raster.yDpi;
  return MakeLazyImage(std::make_unique<CRasterRows>(std::move(raster)), kind, xDpi, yDpi, session.Services());
}

// The padding puts the module's header window in memory the tool owns.
std::vector<std::uint8_t> ReadDib(const CInput& input, std::uint64_t budget) {
  const CInputFile file(input);
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

Kes::CPtr<Image::IImage> OpenDib(const CInput& input, const CModuleSession& session, std::uint64_t budget,
                                 std::vector<std::uint8_t>& dib) {
  dib = ReadDib(input, budget);
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
