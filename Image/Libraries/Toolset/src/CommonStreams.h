#pragma once
// The stream contract: pull chains (CReadImageStream) deliver an image's rows
// top row first without padding; push chains (CWriteImageStream) take one row
// per Write between BeginImage and EndImage. Each filter holds the link below
// it through a plain count, so a chain lives as long as its outermost holder.
// Streams are single-threaded.
#include <array>
#include <cstdint>

#include "ImageHost/ColorMap.h"
#include "ImageHost/Colors.h"
#include "ImageHost/FileSource.h"
#include "Kes/Array.h"
#include "Kes/FastObject.h"
#include "Kes/File.h"
#include "Kes/FileOwner.h"
#include "Kes/Object.h"
#include "Kes/String.h"

namespace Image {

// What a chain holds at most in one block of buffered data.
inline constexpr std::int64_t kChainBlockBytes = std::int64_t{512} << 10;

class CReadImageStream : public Kes::CFastObject {
public:
  ~CReadImageStream() override;
  // The next Read delivers the top row's first byte again.
  virtual void Reset() = 0;
  // Delivers up to count output bytes; fewer only when the data are exhausted.
  virtual std::int32_t Read(std::uint8_t* buffer, std::int32_t count) = 0;
  // Passes count output bytes; fewer only when the data are exhausted.
  virtual std::int32_t Skip(std::int32_t count) = 0;
  // The name of the file under the chain; empty over memory.
  virtual Kes::CUnicodeString GetFileName() const = 0;
};

class CWriteImageStream : public Kes::CFastObject {
public:
  ~CWriteImageStream() override;
  virtual void Write(const void* data, std::int32_t byteCount) = 0;
  virtual void BeginImage() = 0;
  virtual void EndImage() = 0;
};

using CReadStreamPtr = Kes::CFastPtr<CReadImageStream>;
using CWriteStreamPtr = Kes::CFastPtr<CWriteImageStream>;

// The checks every stream makes on its callers' arguments.
void CheckReadArguments(const std::uint8_t* buffer, std::int32_t count);
void CheckSkipArgument(std::int32_t count);

// Base of the read filters: holds its source (an empty one is an internal
// error) and passes Reset and GetFileName down.
class CReadImageFilter : public CReadImageStream {
public:
  explicit CReadImageFilter(CReadStreamPtr source);
  void Reset() override;
  Kes::CUnicodeString GetFileName() const override;

protected:
  CReadImageStream& Source() const { return *m_source; }

private:
  CReadStreamPtr m_source;
};

// Base of the write filters: holds its next stream and passes BeginImage and EndImage on.
class CWriteImageFilter : public CWriteImageStream {
public:
  explicit CWriteImageFilter(CWriteStreamPtr next);
  void BeginImage() override;
  void EndImage() override;

protected:
  CWriteImageStream& Next() const { return *m_next; }

private:
  CWriteStreamPtr m_next;
};

// ---- read-side conversion streams ----

// Index bytes have 256 values, so every per-image table covers all of them.
inline constexpr std::int32_t kPaletteIndexCount = 256;

// Packed pixels of 1 to 7 bits, the first pixel of a row in the high bits of
// its first byte, to one byte per pixel holding the pixel's value. Counts are
// in pixels. The source's rows are ceil(width x bits / 8) bytes; a source byte
// is read only when a pixel in it is first wanted, never beyond the current row.
class CUnpackBitStream : public CReadImageFilter {
public:
  CUnpackBitStream(CReadStreamPtr source, std::int32_t width, std::int32_t bitsPerPixel);
  void Reset() override;
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;

private:
  void StartRowAtRowEnd();
  std::int64_t BitOffset(std::int32_t pixel) const;
  std::int32_t ReadStep(std::uint8_t* out, std::int32_t wanted);
  std::int32_t SkipWholeRows(std::int32_t pixels);
  std::int32_t SkipStep(std::int32_t wanted);

  std::int32_t m_width;
  std::int32_t m_bitsPerPixel;
  std::int32_t m_position = 0;     // next pixel of the current row, 0 to width
  Kes::CArray<std::uint8_t> m_row;  // the current row's bytes read so far
};

// Palette indices to three bytes (blue, green, red) per pixel; counts are in
// output bytes and must be whole colours. The colours are copied from the map
// once; indices at or past its real entries read as black.
class CColorMapToRGB : public CReadImageFilter {
public:
  CColorMapToRGB(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map);
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;

private:
  std::array<CPaddedColor, kPaletteIndexCount> m_colors{};
};

// Base of the palette filters that give one byte per index through a table
// built once by the derived constructor. Counts are in pixels.
class CColorMapToByte : public CReadImageFilter {
public:
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;

protected:
  explicit CColorMapToByte(CReadStreamPtr source);
  std::array<std::uint8_t, kPaletteIndexCount> m_table{};
  bool m_complement = false;  // m_table[i] is 255 - i throughout
};

// Palette indices of a gray palette to darkness bytes (0 white, 255 black).
class CColorMapToGray : public CColorMapToByte {
public:
  CColorMapToGray(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map);
};

// Palette indices of a black-and-white palette to 0 (black) or 1 (white).
class CColorMapToBW : public CColorMapToByte {
public:
  CColorMapToBW(CReadStreamPtr source, const Kes::CPtr<IRGBColorMap>& map);
};

// Stored 16- or 32-bit pixels (little-endian) to three bytes per pixel through
// the host's colour mask; counts are in output bytes and must be whole colours.
class CColorMaskToRGB : public CReadImageFilter {
public:
  CColorMaskToRGB(CReadStreamPtr source, const Kes::CPtr<IRGBColorMask>& mask);
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;

private:
  std::int32_t ConvertStep(std::uint8_t* out, std::int32_t pixels);

  Kes::CPtr<IRGBColorMask> m_mask;
  std::int32_t m_pixelBytes;
  // Stored pixels of one step, reused by every call (only the one for the
  // mask's pixel size is used).
  Kes::CArray<std::uint16_t> m_values16;
  Kes::CArray<std::uint32_t> m_values32;
};

// The bytes of a file region, from start for at most length bytes and never
// past the file's end, read through a buffer of up to 512 KiB. It knows
// nothing of rows.
class CFileReadStream : public CReadImageStream {
public:
  // Opens a file of its own through the source.
  CFileReadStream(const Kes::CPtr<IFileSource>& source, std::int64_t start, std::int64_t length);
  void Reset() override;
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override;
  std::int32_t Skip(std::int32_t count) override;
  Kes::CUnicodeString GetFileName() const override;

private:
  void Rewind();
  std::int32_t Unread() const { return m_filled - m_next; }
  void Refill();

  Kes::CUnicodeString m_fileName;
  Kes::CPtrOwnerFO<Kes::CBaseFile> m_file;
  std::int64_t m_start;
  std::int64_t m_limit = 0;     // bytes in the region
  std::int64_t m_position = 0;  // region bytes delivered or skipped
  Kes::CArray<std::uint8_t> m_buffer;
  std::int32_t m_filled = 0;  // valid bytes in the buffer
  std::int32_t m_next = 0;    // the next unread one
};

// ---- end of read-side conversion streams ----

// ---- write-side filters ----
// A black-and-white row's strokes to a packed 1-bit row (0 bits black, first
// pixel in the most significant bit), pushed on to the next stream.
class CRLEStrokeToBits : public CWriteImageFilter {
public:
  CRLEStrokeToBits(CWriteStreamPtr next, std::int32_t width);
  // The list ends at the end stroke or at byteCount, whichever comes first.
  void Write(const void* data, std::int32_t byteCount) override;

private:
  std::int32_t m_width;
  Kes::CArray<std::uint8_t> m_row;
};
// ---- end of write-side filters ----

}  // namespace Image
