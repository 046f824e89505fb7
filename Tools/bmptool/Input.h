#pragma once
// Input by content: BMP by the module's own test, PNG and PNM by their
// signatures, whatever the file's name. PNG and PNM are decoded into one
// raster within the memory budget; a BMP is opened lazily by the module.
#include <cstdint>
#include <string>
#include <vector>

#include "ModuleSession.h"
#include "Raster.h"

namespace BmpTool {

enum class TInputFormat { Bmp, Png, Pnm };

// Failures (unreadable, a folder, none of the three) are CFileProblem.
TInputFormat InputFormatOf(const std::string& path, const CModuleSession& session);

// The kind, size and resolution of a PNG or PNM, without its pixels.
CRaster ReadRasterHeader(const std::string& path, TInputFormat format);

// The kind a host image of this kind and width is carried as: black-and-white
// rows too wide for strokes become gray.
TKind HostKind(TKind kind, std::int32_t width);
// Says on stderr that IN's black-and-white image is carried as gray.
void NoteCarriedAsGray(const std::string& path);

// The image of IN, lazy wherever it can be. A DIB's bytes are kept in dib for
// as long as the image lives. Notes and warnings are printed with IN's name.
Kes::CPtr<Image::IImage> OpenInput(const std::string& path, TInputFormat format, const CModuleSession& session,
                                   std::uint64_t budget);
Kes::CPtr<Image::IImage> OpenDib(const std::string& path, const CModuleSession& session, std::uint64_t budget,
                                 std::vector<std::uint8_t>& dib);

// 1 GiB or half of the machine's memory, whichever is smaller.
std::uint64_t DefaultMemoryBudget();
// "SIZE" of --max-memory: bytes, or a number with K, M or G (powers of 1024).
std::uint64_t ParseMemorySize(const std::string& text);

}  // namespace BmpTool
