// Images written from fuzzed rows, read back through the module and compared;
// fuzzed stroke lists pushed straight into the stroke-to-bits converter.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BmpImageFileImpl.h"
#include "CommonStreams.h"
#include "FuzzSupport.h"
#include "ImageHost/HostServices.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"
#include "Kes/File.h"

namespace {

class CInfo : public Image::IImageInfo {
public:
  CInfo(std::int32_t w, std::int32_t h, std::int32_t dpi) : m_w(w), m_h(h), m_dpi(dpi) {}
  std::int32_t GetWidth() const override { return m_w; }
  std::int32_t GetHeight() const override { return m_h; }
  std::int32_t GetXResolution() const override { return m_dpi; }
  std::int32_t GetYResolution() const override { return m_dpi; }
  Kes::CPtr<Image::IMetadata> GetMetadata() const override { return {}; }
  Kes::CPtr<Kes::IObject> GetExtraInfo() const override { return {}; }

private:
  std::int32_t m_w, m_h, m_dpi;
};

class CDiscard : public Image::CWriteImageStream {
public:
  void Write(const void*, std::int32_t) override {}
  void BeginImage() override {}
  void EndImage() override {}
};

struct CInput {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t Next() { return size == 0 ? 0 : data[at++ % size]; }
  // Two bytes, the first the low one. Statements fix the order, which the
  // operands of Next() | Next() << 8 do not: compilers may read either first.
  std::int16_t NextInt16() {
    const std::uint8_t low = Next();
    const std::uint8_t high = Next();
    return static_cast<std::int16_t>(low | high << 8);
  }
};

// Each pixel as the value the host image holds: RGB 0xRRGGBB, gray darkness, black-and-white 1 black.
std::vector<std::uint32_t> Fill(const Kes::CPtr<Image::IImage>& image, Image::TImageType type, std::int32_t w, std::int32_t h,
                                CInput& in) {
  std::vector<std::uint32_t> pixels;
  const auto writer = image->GetWriter();
  for (std::int32_t y = 0; y < h; ++y) {
    switch (type) {
      case Image::ImageTypeRGB: {
        auto rgb = Kes::CastOrRaise<Image::IRGBImageWriter>(writer);
        Image::CRGBColor* row = rgb->GetRowBuffer(y);
        for (std::int32_t x = 0; x < w; ++x) {
          row[x] = {in.Next(), in.Next(), in.Next()};
          pixels.push_back(std::uint32_t{row[x].red} << 16 | std::uint32_t{row[x].green} << 8 | row[x].blue);
        }
        rgb->ReleaseRowBuffer(y);
        break;
      }
      case Image::ImageTypeGray: {
        auto gray = Kes::CastOrRaise<Image::IGrayImageWriter>(writer);
        Image::CGrayColor* row = gray->GetRowBuffer(y);
        for (std::int32_t x = 0; x < w; ++x) pixels.push_back(row[x].value = in.Next());
        gray->ReleaseRowBuffer(y);
        break;
      }
      case Image::ImageTypeBlackAndWhite: {
        auto strokes = Kes::CastOrRaise<Image::IRLEImageWriter>(writer);
        Image::CRleStroke* out = strokes->GetRowBuffer(y);
        std::vector<std::uint32_t> row(static_cast<std::size_t>(w), 0);
        for (std::int32_t x = 0; x < w; ++x) row[static_cast<std::size_t>(x)] = in.Next() & 1;
        for (std::int32_t x = 0; x < w;) {
          if (!row[static_cast<std::size_t>(x)]) {
            ++x;
            continue;
          }
          const std::int32_t start = x;
          while (x < w && row[static_cast<std::size_t>(x)]) ++x;
          *out++ = {static_cast<std::int16_t>(start), static_cast<std::int16_t>(x)};
        }
        *out++ = Image::kEndStroke;
        strokes->SetRowEnd(y, out);
        strokes->ReleaseRowBuffer(y);
        pixels.insert(pixels.end(), row.begin(), row.end());
        break;
      }
    }
  }
  return pixels;
}

std::vector<std::uint32_t> ReadBack(const Kes::CPtr<Image::IImage>& image) {
  std::vector<std::uint32_t> pixels;
  const std::int32_t w = image->GetImageInfo()->GetWidth(), h = image->GetImageInfo()->GetHeight();
  const auto reader = image->GetReader();
  for (std::int32_t y = 0; y < h; ++y) {
    switch (image->GetImageType()) {
      case Image::ImageTypeRGB: {
        auto rgb = Kes::CastOrRaise<Image::IRGBImageReader>(reader);
        const Image::CRGBColor* row = rgb->GetRow(y);
        for (std::int32_t x = 0; x < w; ++x) pixels.push_back(std::uint32_t{row[x].red} << 16 | std::uint32_t{row[x].green} << 8 | row[x].blue);
        rgb->ReleaseRow(y);
        break;
      }
      case Image::ImageTypeGray: {
        auto gray = Kes::CastOrRaise<Image::IGrayImageReader>(reader);
        const Image::CGrayColor* row = gray->GetRow(y);
        for (std::int32_t x = 0; x < w; ++x) pixels.push_back(row[x].value);
        gray->ReleaseRow(y);
        break;
      }
      case Image::ImageTypeBlackAndWhite: {
        auto strokes = Kes::CastOrRaise<Image::IRLEImageReader>(reader);
        std::vector<std::uint32_t> row(static_cast<std::size_t>(w), 0);
        for (const Image::CRleStroke* s = strokes->GetRow(y); !Image::IsEndStroke(*s); ++s) {
          for (std::int32_t x = s->start; x < s->end; ++x) row[static_cast<std::size_t>(x)] = 1;
        }
        strokes->ReleaseRow(y);
        pixels.insert(pixels.end(), row.begin(), row.end());
        break;
      }
    }
  }
  return pixels;
}

void WriteAndReadBack(CInput& in) {
  const auto type = static_cast<Image::TImageType>(in.Next() % 3);
  const std::int32_t w = in.Next() % 64 + 1, h = in.Next() % 64 + 1, dpi = in.Next();
  const auto services = Kes::CreateObject<Image::IImageServices>(u"Image.ImageServices");
  const Kes::CPtr<Image::IImageInfo> info = Kes::MakeObject<CInfo>(w, h, dpi);
  const Kes::CPtr<Image::IImage> image = type == Image::ImageTypeRGB    ? services->CreateBlankRGBImage(info, 4)
                                          : type == Image::ImageTypeGray ? services->CreateBlankGrayImage(info, 4)
                                                                         : services->CreateBlankBWImage(info);
  const std::vector<std::uint32_t> written = Fill(image, type, w, h, in);
  Kes::CMemoryFile file(1024);
  const Image::CBmpImageFileFormat format;
  format.CreateImageFileWriter(&file)->AddImagePage(image, nullptr);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), file.GetLength());
  const auto source = Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  const auto read = format.OpenImageFile(source)->OpenImagePage(0);
  if (read->GetImageType() != type || ReadBack(read) != written) std::abort();
}

void FuzzedStrokes(CInput& in) {
  const std::int32_t width = in.Next() % 200 + 1;
  std::vector<Image::CRleStroke> strokes;
  for (std::size_t i = 0; i < in.size / 4 && i < 64; ++i) {
    const std::int16_t start = in.NextInt16();
    strokes.push_back({start, in.NextInt16()});
  }
  Image::CRLEStrokeToBits converter(Kes::MakeFastObject<CDiscard>(), width);
  FuzzSupport::Absorbing([&] {
    converter.Write(strokes.data(), static_cast<std::int32_t>(strokes.size() * sizeof(Image::CRleStroke)));
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSupport::SetUpOnce();
  CInput in{data, size};
  if (size > 0 && data[0] == 0xFF) {
    FuzzedStrokes(in);
    return 0;
  }
  WriteAndReadBack(in);
  return 0;
}
