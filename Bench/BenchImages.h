#pragma once
// The benchmark's images: deterministic photo-like content and a rendered
// document, in every stored variant the module reads.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace BmpBench {

enum class TDecoded { BlackAndWhite, Gray, Rgb };

struct CVariant {
  std::string name;
  std::filesystem::path path;
  TDecoded decoded;
  std::int64_t fileBytes;
};

// Writes every variant of a width x height image into dir.
std::vector<CVariant> WriteVariants(const std::filesystem::path& dir, int width, int height);

// "bw", "gray" or "rgb", as the peer program takes it.
const char* DecodedName(TDecoded decoded);
bool ParseDecoded(const std::string& name, TDecoded& decoded);

// Bytes per decoded pixel: 3 for RGB, 1 for gray and black-and-white.
inline std::int64_t DecodedBytesPerPixel(TDecoded decoded) { return decoded == TDecoded::Rgb ? 3 : 1; }

}  // namespace BmpBench
