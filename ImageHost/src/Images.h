#pragma once
// Host images. A lazy image pulls rows through its fetcher when they are first
// read and keeps released rows in a cache bounded by a byte budget; a blank
// image stores what its writer writes. An image (and its row cache) is used
// by one thread at a time.
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "Kes/Array.h"

namespace Image {

struct CRgbKind {
  using Pixel = CRGBColor;
  using Reader = IRGBImageReader;
  using Writer = IRGBImageWriter;
  using Fetcher = IRGBImageFetcher;
  static constexpr TImageType kType = ImageTypeRGB;
  static std::int64_t RowUnits(std::int64_t width) { return width; }
  static void FillWhite(Pixel* row, std::int64_t units);
};

struct CGrayKind {
  using Pixel = CGrayColor;
  using Reader = IGrayImageReader;
  using Writer = IGrayImageWriter;
  using Fetcher = IGrayImageFetcher;
  static constexpr TImageType kType = ImageTypeGray;
  static std::int64_t RowUnits(std::int64_t width) { return width; }
  static void FillWhite(Pixel* row, std::int64_t units);
};

// Black-and-white rows are stroke lists: room for ceil(width / 2) strokes and the end stroke.
struct CStrokeKind {
  using Pixel = CRleStroke;
  using Reader = IRLEImageReader;
  using Writer = IRLEImageWriter;
  using Fetcher = IRLEImageFetcher;
  static constexpr TImageType kType = ImageTypeBlackAndWhite;
  static std::int64_t RowUnits(std::int64_t width) { return (width + 1) / 2 + 1; }
  static void FillWhite(Pixel* row, std::int64_t units);
};

// Released rows a lazy image keeps, in bytes; a row being read is always kept.
inline constexpr std::int64_t kRowCacheBudget = 4 << 20;
// While rows are read in order, few released rows are worth keeping: a small
// cache keeps the rows in flight in the processor's caches.
inline constexpr std::int64_t kStreamingCacheBudget = 256 << 10;
inline constexpr std::size_t kStreamingCacheRows = 64;
// A stroke row is copied into a buffer of its own size only when that frees
// at least this many bytes.
inline constexpr std::int64_t kCompactionMinSaving = 1024;
// Storage of dropped rows kept for the next rows, so that streaming allocates nothing.
inline constexpr std::size_t kSpareRows = 4;

template <class Kind>
class CHostImage : public IImage, public Kind::Reader, public Kind::Writer {
public:
  using Pixel = typename Kind::Pixel;

  // A lazy image when fetcher is given, else a blank one.
  CHostImage(Kes::CPtr<IImageInfo> info, Kes::CPtr<typename Kind::Fetcher> fetcher);

  Kes::CPtr<IImageInfo> GetImageInfo() const { return m_info; }
  TImageType GetImageType() const { return Kind::kType; }
  Kes::CPtr<Kes::IObject> GetReader();
  Kes::CPtr<Kes::IObject> GetWriter();

  void ReleaseRow(std::int32_t y);
  const Pixel* GetRow(std::int32_t y);
  void ReleaseRowBuffer(std::int32_t row);
  Pixel* GetRowBuffer(std::int32_t row);
  // Only the stroke writer's interface has it; the others never call it.
  void SetRowEnd(std::int32_t row, const CRleStroke* end);

  std::int64_t CachedBytes() const { return m_storedBytes; }

private:
  struct CRow {
    Kes::CArray<Pixel> pixels;
    std::int32_t held = 0;
    bool filled = false;
    std::int64_t used = 0;  // strokes up to the end stroke, when told
    typename std::list<std::int32_t>::iterator released;
    bool isReleased = false;
  };

  void CheckRow(std::int32_t y) const;
  void Hold(CRow& row);
  void MarkReleased(std::int32_t y, CRow& row);
  void Trim();

  Kes::CPtr<IImageInfo> m_info;
  Kes::CPtr<typename Kind::Fetcher> m_fetcher;
  std::int32_t m_width;
  std::int32_t m_height;
  std::int64_t m_rowUnits;
  std::unordered_map<std::int32_t, CRow> m_rows;
  std::list<std::int32_t> m_releasedOrder;  // most recent first
  std::int64_t m_storedBytes = 0;
  std::int32_t m_fetching = -1;
  std::int32_t m_lastRead = -1;
  bool m_streaming = false;  // the last row read followed the one before
  std::vector<Kes::CArray<Pixel>> m_spareRows;
  Kes::CArray<Pixel> m_white;    // what a blank image's unwritten rows read as
  Kes::CArray<Pixel> m_scratch;  // where a fetcher rewrites a row that is already held
  bool m_writingScratch = false;
};

extern template class CHostImage<CRgbKind>;
extern template class CHostImage<CGrayKind>;
extern template class CHostImage<CStrokeKind>;

}  // namespace Image
