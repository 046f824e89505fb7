#include "Peers.h"

#if BMP_BENCH_STB
#include <stb_image.h>
#include <stb_image_write.h>
#endif
#if BMP_BENCH_OPENCV
#include <opencv2/imgcodecs.hpp>
#endif

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

}  // namespace

std::vector<CPeer> AvailablePeers() {
  std::vector<CPeer> peers;
#if BMP_BENCH_STB
  peers.push_back({"stb_image", StbDecode, StbWrite});
#endif
#if BMP_BENCH_OPENCV
  peers.push_back({"opencv", OpenCvDecode, OpenCvWrite});
#endif
  return peers;
}

}  // namespace BmpBench
