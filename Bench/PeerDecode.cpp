// One decode in a process of its own, for the whole-process table:
//   BmpPeerDecode-PEER KIND FILE
// Each program is built with one peer, or none for the floor; KIND is "bw",
// "gray" or "rgb" (what the peer is asked for). Exits 1 when the peer
// refuses the file.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Peers.h"

namespace {

constexpr std::streamoff kWidthField = 18;
constexpr std::streamoff kHeightField = 22;

// Width x height from the information header; 0 when the file has none.
std::int64_t PixelsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char field[8] = {};
  file.seekg(kWidthField);
  if (!file.read(reinterpret_cast<char*>(field), sizeof field)) return 0;
  const auto load = [&](int at) {
    return std::int32_t(std::uint32_t(field[at]) | std::uint32_t(field[at + 1]) << 8 |
                        std::uint32_t(field[at + 2]) << 16 | std::uint32_t(field[at + 3]) << 24);
  };
  static_assert(kHeightField - kWidthField == 4);
  return std::llabs(load(0)) * std::llabs(load(4));
}

}  // namespace

int main(int argc, char** argv) {
  BmpBench::TDecoded decoded{};
  if (argc != 3 || !BmpBench::ParseDecoded(argv[1], decoded)) {
    std::fprintf(stderr, "usage: BmpPeerDecode-PEER bw|gray|rgb FILE\n");
    return 2;
  }
  const std::string path = argv[2];
  const std::vector<BmpBench::CPeer> peers = BmpBench::AvailablePeers();
  if (peers.empty()) {
    BmpBench::FloorDecode(path, std::size_t(PixelsOf(path) * BmpBench::DecodedBytesPerPixel(decoded)));
    return 0;
  }
  return peers.front().decode(path, decoded) > 0 ? 0 : 1;
}
