#include "ImageFetchers.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <exception>
#include <utility>

#include "ErrorSites.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

constexpr std::uint8_t kBlackByte = 0;
constexpr const char16_t* kImageServicesName = u"Image.ImageServices";

const std::uint8_t* FindBlack(const std::uint8_t* x, const std::uint8_t* end) {
  const void* found = std::memchr(x, kBlackByte, static_cast<std::size_t>(end - x));
  return found ? static_cast<const std::uint8_t*>(found) : end;
}

// Black runs are passed a machine word at a time: a word of black bytes is 0,
// and the first white byte of any other is found from its zero bits.
const std::uint8_t* FindWhite(const std::uint8_t* x, const std::uint8_t* end) {
  constexpr bool kLittleEndian = std::endian::native == std::endian::little;
  for (; end - x >= std::ptrdiff_t{sizeof(std::uint64_t)}; x += sizeof(std::uint64_t)) {
    std::uint64_t word = 0;
    std::memcpy(&word, x, sizeof word);
    if (word == 0) continue;
    const int zeroBits = kLittleEndian ? std::countr_zero(word) : std::countl_zero(word);
    return x + zeroBits / CHAR_BIT;
  }
  return std::find_if(x, end, [](std::uint8_t b) { return b != kBlackByte; });
}

// The end stroke written after the strokes; returns the place just past it.
CRleStroke* BuildStrokes(const std::uint8_t* bytes, std::int32_t width, CRleStroke* strokes) {
  const std::uint8_t* const end = bytes + width;
  const std::uint8_t* x = FindBlack(bytes, end);
  while (x != end) {
    const std::uint8_t* const white = FindWhite(x, end);
    *strokes++ = {static_cast<std::int16_t>(x - bytes), static_cast<std::int16_t>(white - bytes)};
    x = FindBlack(white, end);
  }
  *strokes++ = kEndStroke;
  return strokes;
}

// A row of the host's writer, taken for the lease's life and given back on
// every way out. Should giving it back fail while another error is already
// on its way, that error is the one the caller gets.
template <class TRowWriter>
class CRowLease {
public:
  CRowLease(TRowWriter& writer, std::int32_t row)
      : m_writer(writer), m_row(row), m_buffer(writer.GetRowBuffer(row)), m_errorsInFlight(std::uncaught_exceptions()) {}
  CRowLease(const CRowLease&) = delete;
  CRowLease& operator=(const CRowLease&) = delete;
  ~CRowLease() noexcept(false) {
    if (std::uncaught_exceptions() == m_errorsInFlight) {
      m_writer.ReleaseRowBuffer(m_row);
      return;
    }
    try {
      m_writer.ReleaseRowBuffer(m_row);
    } catch (Kes::CException* second) {
      second->Delete();
    }
  }
  auto* Buffer() const { return m_buffer; }

private:
  TRowWriter& m_writer;
  std::int32_t m_row;
  decltype(std::declval<TRowWriter&>().GetRowBuffer(0)) m_buffer;
  int m_errorsInFlight;
};

Kes::CPtr<IImageServices> ImageServices() {
  Kes::CPtr<IImageServices> services = Kes::DynamicCast<IImageServices>(Kes::DoCreateObject(kImageServicesName));
  if (!services) Kes::RaiseInternal(Sites::FetcherNoImageServices);
  return services;
}

}  // namespace

template <class TFetcher, class TWriter, class TPixel>
CSimpleImageFetcher<TFetcher, TWriter, TPixel>::CSimpleImageFetcher(const IImageInfo& info, CReadStreamPtr chain)
    : m_chain(std::move(chain)), m_width(info.GetWidth()), m_height(info.GetHeight()), m_rowBytes(0) {
  if (!m_chain) Kes::RaiseInternal(Sites::StreamMissingSource);
  if (m_width < 1 || m_height < 1) Kes::RaiseInternal(Sites::FetcherImageSize, std::min(m_width, m_height));
  constexpr std::int32_t kMaxWidth = kStrokes ? kMaxStrokeRowWidth : INT32_MAX / kBytesPerPixel;
  if (m_width > kMaxWidth) {
    RaiseSizeOfImageTooBig(m_chain->GetFileName(), DescribeSideLimits(kMaxWidth, INT32_MAX));
  }
  m_rowBytes = m_width * kBytesPerPixel;
  if constexpr (kStrokes) m_strokeBytes.SetCount(m_width);
}

template <class TFetcher, class TWriter, class TPixel>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::FetchRow(std::int32_t row, TWriter* writer) {
  if (row < 0 || row >= m_height) Kes::RaiseInternal(Sites::FetcherRowOutOfRange, row);
  if (!writer) Kes::RaiseInternal(Sites::FetcherNoWriter);
  if (m_chainInDoubt || row < m_nextRow) Restart();
  m_chainInDoubt = true;
  if constexpr (kStrokes) {
    FetchStrokeRow(row, *writer);
  } else {
    FetchPixelRow(row, *writer);
  }
  m_chainInDoubt = false;
}

template <class TFetcher, class TWriter, class TPixel>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::Restart() {
  m_chain->Reset();
  m_nextRow = 0;
}

// Rows before the wanted one are passed in one skip, which every chain turns
// into a move of its place; so rows cost the same in any order.
template <class TFetcher, class TWriter, class TPixel>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::PassRowsTo(std::int32_t row) {
  const std::int32_t rowsPerSkip = INT32_MAX / m_rowBytes;
  while (m_nextRow < row) {
    const std::int32_t rows = std::min(row - m_nextRow, rowsPerSkip);
    if (m_chain->Skip(rows * m_rowBytes) < rows * m_rowBytes) RaiseInvalidImageFile(m_chain->GetFileName());
    m_nextRow += rows;
  }
}

template <class TFetcher, class TWriter, class TPixel>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::ReadRow(std::uint8_t* bytes) {
  if (m_chain->Read(bytes, m_rowBytes) < m_rowBytes) RaiseInvalidImageFile(m_chain->GetFileName());
}

// After the last row the chain is rewound for the next pass from the top.
template <class TFetcher, class TWriter, class TPixel>
template <class TRowWriter>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::FetchPixelRow(std::int32_t row, TRowWriter& writer) {
  PassRowsTo(row);
  {
    const CRowLease lease(writer, row);
    // The host's row is a run of whole pixels; the chain fills it byte by byte.
    ReadRow(reinterpret_cast<std::uint8_t*>(lease.Buffer()));
  }
  ++m_nextRow;
  if (m_nextRow == m_height) Restart();
}

// The row is read before the writer's room is taken, so a row the chain
// cannot deliver leaves the writer untouched.
template <class TFetcher, class TWriter, class TPixel>
template <class TRowWriter>
void CSimpleImageFetcher<TFetcher, TWriter, TPixel>::FetchStrokeRow(std::int32_t row, TRowWriter& writer) {
  PassRowsTo(row);
  ReadRow(m_strokeBytes.Data());
  ++m_nextRow;
  const CRowLease lease(writer, row);
  writer.SetRowEnd(row, BuildStrokes(m_strokeBytes.Data(), m_width, lease.Buffer()));
}

template class CSimpleImageFetcher<IRGBImageFetcher, IRGBImageWriter, CRGBColor>;
template class CSimpleImageFetcher<IGrayImageFetcher, IGrayImageWriter, CGrayColor>;
template class CSimpleImageFetcher<IRLEImageFetcher, IRLEImageWriter, CRleStroke>;

Kes::CPtr<IImage> CreateImageFromRGBStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain) {
  const Kes::CPtr<IRGBImageFetcher> fetcher = Kes::MakeObject<CRGBImageFetcher>(*info, std::move(chain));
  return ImageServices()->CreateRGBImage(info, fetcher);
}

Kes::CPtr<IImage> CreateImageFromGrayStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain) {
  const Kes::CPtr<IGrayImageFetcher> fetcher = Kes::MakeObject<CGrayImageFetcher>(*info, std::move(chain));
  return ImageServices()->CreateGrayImage(info, fetcher);
}

Kes::CPtr<IImage> CreateImageFromBWStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain) {
  const Kes::CPtr<IRLEImageFetcher> fetcher = Kes::MakeObject<CRLEImageFetcher>(*info, std::move(chain));
  return ImageServices()->CreateRLEImage(info, fetcher);
}

}  // namespace Image
