#pragma once
// The fetchers through which a host image pulls its rows from a read chain,
// and the helpers that wrap a chain in a fetcher and a lazy host image.
#include <cstdint>
#include <type_traits>

#include "CommonStreams.h"
#include "ImageHost/Colors.h"
#include "ImageHost/Image.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageInfo.h"
#include "Kes/Array.h"
#include "Kes/Object.h"

namespace Image {

// Stroke coordinates are 16-bit: no wider black-and-white row can be expressed.
inline constexpr std::int32_t kMaxStrokeRowWidth = 32767;

// Pulls the rows a host image asks for from the chain's outermost link, which
// delivers width x (bytes per pixel) bytes a row: 3 for RGB, 1 for gray, and
// for black-and-white 1 byte a pixel, 0 black, which become the row's strokes.
// Only the wanted row is delivered; the rows before it are skipped. Holds the
// chain for its whole life.
template <class TFetcher, class TWriter, class TPixel>
class CSimpleImageFetcher final : public TFetcher {
public:
  CSimpleImageFetcher(const IImageInfo& info, CReadStreamPtr chain);
  void FetchRow(std::int32_t row, TWriter* writer) override;

private:
  static constexpr bool kStrokes = std::is_same_v<TPixel, CRleStroke>;
  // The chain's row in bytes.
  static constexpr std::int32_t kBytesPerPixel = kStrokes ? 1 : static_cast<std::int32_t>(sizeof(TPixel));

  void Restart();
  void PassRowsTo(std::int32_t row);
  void ReadRow(std::uint8_t* bytes);
  // Templates so that each instance compiles only the one it uses.
  template <class TRowWriter>
  void FetchPixelRow(std::int32_t row, TRowWriter& writer);
  template <class TRowWriter>
  void FetchStrokeRow(std::int32_t row, TRowWriter& writer);

  CReadStreamPtr m_chain;
  std::int32_t m_nextRow = 0;
  std::int32_t m_width;
  std::int32_t m_height;
  std::int32_t m_rowBytes;
  // Set while the chain is being moved: a call that raised leaves it at an
  // unknown place, so the next call starts again from the top.
  bool m_chainInDoubt = false;
  Kes::CArray<std::uint8_t> m_strokeBytes;  // black-and-white: one row of the chain
};

using CRGBImageFetcher = CSimpleImageFetcher<IRGBImageFetcher, IRGBImageWriter, CRGBColor>;
using CGrayImageFetcher = CSimpleImageFetcher<IGrayImageFetcher, IGrayImageWriter, CGrayColor>;
using CRLEImageFetcher = CSimpleImageFetcher<IRLEImageFetcher, IRLEImageWriter, CRleStroke>;

extern template class CSimpleImageFetcher<IRGBImageFetcher, IRGBImageWriter, CRGBColor>;
extern template class CSimpleImageFetcher<IGrayImageFetcher, IGrayImageWriter, CGrayColor>;
extern template class CSimpleImageFetcher<IRLEImageFetcher, IRLEImageWriter, CRleStroke>;

// A lazy host image that holds a fetcher over the chain. The chain delivers
// three bytes (blue, green, red), one darkness byte, or one 0-black byte per pixel.
Kes::CPtr<IImage> CreateImageFromRGBStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain);
Kes::CPtr<IImage> CreateImageFromGrayStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain);
Kes::CPtr<IImage> CreateImageFromBWStream(const Kes::CPtr<IImageInfo>& info, CReadStreamPtr chain);

}  // namespace Image
