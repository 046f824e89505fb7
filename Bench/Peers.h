#pragma once
// Other BMP decoders and writers, run as black boxes for comparison.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BenchImages.h"

namespace BmpBench {

struct CPeer {
  std::string name;
  // Decodes the whole file into memory; the decoded byte count, or 0 when the peer refuses it.
  std::int64_t (*decode)(const std::string& path, TDecoded decoded);
  // Writes width x height pixels of channels bytes each; false when the peer cannot.
  bool (*write)(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels);
};

// The peers this build was linked with.
std::vector<CPeer> AvailablePeers();

// The floor of a decode: reads the file through a 1 MiB buffer into a fresh
// buffer of decodedBytes, writing every byte of it once.
void FloorDecode(const std::string& path, std::size_t decodedBytes);

}  // namespace BmpBench
