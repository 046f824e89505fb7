#pragma once
// Input by content: BMP by the module's own test, PNG and PNM by their
// signatures, whatever the file's name. PNG and PNM are decoded into one
// raster within the memory budget; a BMP is opened lazily by the module.
// IN of "-" is standard input, read once into a framework memory file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Kes/File.h"

#include "ModuleSession.h"
#include "Raster.h"

namespace BmpTool {

enum class TInputFormat { Bmp, Png, Pnm };

constexpr const char* kStandardStream = "-";

// An input as the user names it: a file, or "-" for standard input, whose
// bytes are read at construction into a memory file (refused by name when
// they exceed the budget) and served from there for as long as this lives.
class CInput {
public:
  CInput(std::string name, std::uint64_t budget);
  const std::string& Name() const { return m_name; }
  // The first bytes, at most count of them; failures are CFileProblem.
  std::vector<std::uint8_t> Head(std::size_t count) const;
  // The module's view of the bytes: the named file, or the memory file's.
  Kes::CPtr<Image::IFileSource> FileSource(const CModuleSession& session) const;
  const Kes::CMemoryFile* Memory() const { return m_memory.get(); }

private:
  std::string m_name;
  std::unique_ptr<Kes::CMemoryFile> m_memory;  // standard input's bytes
};

// Failures (unreadable, a folder, none of the three) are CFileProblem.
TInputFormat InputFormatOf(const CInput& input, const CModuleSession& session);

// The kind, size and resolution of a PNG or PNM, without its pixels.
CRaster ReadRasterHeader(const CInput& input, TInputFormat format);

// The kind a host image of this kind and width is carried as: black-and-white
// rows too wide for strokes become gray.
TKind HostKind(TKind kind, std::int32_t width);
// Says on stderr that IN's black-and-white image is carried as gray.
void NoteCarriedAsGray(const std::string& path);
// Warns on stderr when the BMP or DIB header (at headerOffset) declares an
// alpha mask: host images have none, so the channel is dropped. A 32-bit
// file without one has padding there, not alpha.
void WarnIfAlphaDropped(const CInput& input, std::size_t headerOffset);

// The image of IN, lazy wherever it can be; input must outlive it. A DIB's
// bytes are kept in dib for as long as the image lives. Notes and warnings are
// printed with IN's name.
Kes::CPtr<Image::IImage> OpenInput(const CInput& input, TInputFormat format, const CModuleSession& session,
                                   std::uint64_t budget);
// A packed DIB's bytes, checked to hold everything the module reads and
// padded with zeros to the module's header window.
std::vector<std::uint8_t> ReadDib(const CInput& input, std::uint64_t budget);
Kes::CPtr<Image::IImage> OpenDib(const CInput& input, const CModuleSession& session, std::uint64_t budget,
                                 std::vector<std::uint8_t>& dib);

// 1 GiB or half of the machine's memory, whichever is smaller.
std::uint64_t DefaultMemoryBudget();
// "SIZE" of --max-memory: bytes, or a number with K, M or G (powers of 1024).
std::uint64_t ParseMemorySize(const std::string& text);

}  // namespace BmpTool
