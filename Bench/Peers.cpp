#include "Peers.h"

#if BMP_BENCH_STB
#include <stb_image.h>
#include <stb_image_write.h>
#endif
#if BMP_BENCH_OPENCV
#include <opencv2/imgcodecs.hpp>
#endif
#if BMP_BENCH_FREEIMAGE
#include <FreeImage.h>
#endif
#if BMP_BENCH_SDL2_IMAGE
#include <SDL2/SDL_image.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace BmpBench {
namespace {

#if BMP_BENCH_STB
std::int64_t StbDecode(const std::string& path, TDecoded decoded) {
  const int wanted = decoded == TDecoded::Rgb ? 3 : 1;
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, wanted);
  if (!pixels) return 0;
  stbi_image_free(pixels);
  return std::int64_t{width} * height * wanted;
}

bool StbWrite(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels) {
  return stbi_write_bmp(path.c_str(), width, height, channels, pixels) != 0;
}
#endif

#if BMP_BENCH_OPENCV
std::int64_t OpenCvDecode(const std::string& path, TDecoded decoded) {
  const cv::Mat image = cv::imread(path, decoded == TDecoded::Rgb ? cv::IMREAD_COLOR : cv::IMREAD_GRAYSCALE);
  return image.empty() ? 0 : std::int64_t(image.total() * image.elemSize());
}

bool OpenCvWrite(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels) {
  const cv::Mat image(height, width, channels == 3 ? CV_8UC3 : CV_8UC1, const_cast<std::uint8_t*>(pixels));
  return cv::imwrite(path, image);
}
#endif

#if BMP_BENCH_FREEIMAGE
// FreeImage keeps 1-, 4- and 8-bit pixels as stored, palette indices and all.
std::int64_t FreeImageDecode(const std::string& path, TDecoded) {
  FIBITMAP* image = FreeImage_Load(FIF_BMP, path.c_str(), BMP_DEFAULT);
  if (!image) return 0;
  const std::int64_t bytes = std::int64_t{FreeImage_GetPitch(image)} * FreeImage_GetHeight(image);
  FreeImage_Unload(image);
  return bytes;
}

bool FreeImageWrite(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels) {
  const int bits = 8 * channels;
  FIBITMAP* image = FreeImage_ConvertFromRawBits(const_cast<BYTE*>(pixels), width, height, width * channels, bits,
                                                 FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE);
  if (!image) return false;
  const bool saved = FreeImage_Save(FIF_BMP, image, path.c_str(), BMP_DEFAULT) != 0;
  FreeImage_Unload(image);
  return saved;
}
#endif

#if BMP_BENCH_SDL2_IMAGE
// SDL2_image gives a surface in the file's own depth, palette indices kept.
std::int64_t SdlDecode(const std::string& path, TDecoded) {
  SDL_Surface* surface = IMG_Load(path.c_str());
  if (!surface) return 0;
  const std::int64_t bytes = std::int64_t{surface->pitch} * surface->h;
  SDL_FreeSurface(surface);
  return bytes;
}

// Only RGB: a gray surface would need a palette of its own.
bool SdlWrite(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels) {
  constexpr int kRgbChannels = 3;
  if (channels != kRgbChannels) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(pixels), width, height, 24,
                                                            width * kRgbChannels, SDL_PIXELFORMAT_BGR24);
  if (!surface) return false;
  const bool saved = SDL_SaveBMP(surface, path.c_str()) == 0;
  SDL_FreeSurface(surface);
  return saved;
}
#endif

constexpr std::size_t kFloorChunk = 1 << 20;

}  // namespace

void FloorDecode(const std::string& path, std::size_t decodedBytes) {
  const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(kFloorChunk);
  const auto decoded = std::make_unique_for_overwrite<std::uint8_t[]>(decodedBytes);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return;
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  std::size_t filled = 0, got = 0;
  while ((got = std::fread(chunk.get(), 1, kFloorChunk, file.get())) > 0) {
    const std::size_t piece = std::min(got, decodedBytes - filled);
    std::memcpy(decoded.get() + filled, chunk.get(), piece);
    filled += piece;
  }
  // Every decoded byte is written once, even where the file is smaller.
  for (; filled < decodedBytes; filled += std::min(kFloorChunk, decodedBytes - filled)) {
    std::memcpy(decoded.get() + filled, chunk.get(), std::min(kFloorChunk, decodedBytes - filled));
  }
  asm volatile("" : : "r"(decoded.get()) : "memory");
}

std::vector<CPeer> AvailablePeers() {
  std::vector<CPeer> peers;
#if BMP_BENCH_STB
  peers.push_back({"stb_image", StbDecode, StbWrite});
#endif
#if BMP_BENCH_OPENCV
  peers.push_back({"opencv", OpenCvDecode, OpenCvWrite});
#endif
#if BMP_BENCH_FREEIMAGE
  peers.push_back({"freeimage", FreeImageDecode, FreeImageWrite});
#endif
#if BMP_BENCH_SDL2_IMAGE
  peers.push_back({"sdl2_image", SdlDecode, SdlWrite});
#endif
  return peers;
}

}  // namespace BmpBench
