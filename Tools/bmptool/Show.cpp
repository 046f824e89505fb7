// bmptool show: a preview in the terminal. Each character cell shows two
// pixels, the upper as the foreground of an upper half block and the lower as
// the background, in 24-bit colour; only the rows the preview samples are read.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "Errors.h"
#include "ModuleSession.h"
#include "Raster.h"

namespace BmpTool {
namespace {

constexpr int kDefaultColumns = 80;
constexpr const char* kUpperHalfBlock = "\xE2\x96\x80";

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  const int parsed = columns ? std::atoi(columns) : 0;
  return parsed > 0 && parsed <= kMaxPreviewColumns ? parsed : kDefaultColumns;
}

struct CPixel {
  std::uint8_t r, g, b;
};

// One output row of the preview: source columns sampled at each cell's centre.
void SampleRow(const std::uint8_t* rgb, std::int32_t sourceWidth, int columns, std::vector<CPixel>& out) {
  for (int x = 0; x < columns; ++x) {
    const std::int64_t sx = (std::int64_t{2} * x + 1) * sourceWidth / (std::int64_t{2} * columns);
    const std::uint8_t* p = rgb + sx * 3;
    out[std::size_t(x)] = {p[0], p[1], p[2]};
  }
}

}  // namespace

int RunShow(const CShowOptions& options) {
  const std::string& file = options.file;
  const CModuleSession session;
  try {
    const auto image = session.Format()->OpenImageFile(Kes::CUnicodeString::FromUtf8(file))->OpenImagePage(0);
    CRgbRows rows(image);
    const int columns = int(std::min<std::int64_t>(options.width > 0 ? options.width : TerminalColumns(), rows.Width()));
    // Cells are about twice as tall as wide, and each holds two pixels: square pixels.
    const std::int64_t pixelRows =
        std::max<std::int64_t>(1, (std::int64_t{rows.Height()} * columns + rows.Width() / 2) / rows.Width());
    std::vector<CPixel> upper(static_cast<std::size_t>(columns)), lower(static_cast<std::size_t>(columns));
    std::string line;
    for (std::int64_t y = 0; y < pixelRows; y += 2) {
      auto sourceRow = [&](std::int64_t row) { return std::int32_t((2 * row + 1) * rows.Height() / (2 * pixelRows)); };
      SampleRow(rows.Read(sourceRow(y)), rows.Width(), columns, upper);
      const bool hasLower = y + 1 < pixelRows;
      if (hasLower) SampleRow(rows.Read(sourceRow(y + 1)), rows.Width(), columns, lower);
      line.clear();
      for (int x = 0; x < columns; ++x) {
        const CPixel& u = upper[std::size_t(x)];
        char cell[64];
        if (hasLower) {
          const CPixel& l = lower[std::size_t(x)];
          std::snprintf(cell, sizeof cell, "\x1b[38;2;%d;%d;%d;48;2;%d;%d;%dm", u.r, u.g, u.b, l.r, l.g, l.b);
        } else {
          std::snprintf(cell, sizeof cell, "\x1b[38;2;%d;%d;%dm", u.r, u.g, u.b);
        }
        line += cell;
        line += kUpperHalfBlock;
      }
      line += "\x1b[0m\n";
      std::fputs(line.c_str(), stdout);
    }
    return ExitOk;
  } catch (...) {
    return Report(file, CurrentFailure());
  }
}

}  // namespace BmpTool
