// Runs every case side by side and prints megapixels per second with the
// ratios to the floor and to the fastest peer. BMP_BENCH_WIDTH and
// BMP_BENCH_HEIGHT change the image size (6000 x 4000 by default).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include <unistd.h>

#include "BenchImages.h"
#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "ImageHost/ImageAccess.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Factory.h"
#include "Kes/Memory.h"
#include "Kes/Module.h"
#include "Peers.h"

namespace BmpBench {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kFloorBuffer = 1 << 20;
constexpr int kDefaultWidth = 6000;
constexpr int kDefaultHeight = 4000;
constexpr int kIterations = 3;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr std::uint8_t kWhite = 255;

Kes::CPtr<Image::IBmpImageFileFormat> g_format;
Kes::CPtr<Image::IImageServices> g_services;

int SizeFromEnvironment(const char* name, int fallback) {
  const char* text = std::getenv(name);
  const int value = text ? std::atoi(text) : 0;
  return value > 0 ? value : fallback;
}

struct CBuffer {
  explicit CBuffer(std::size_t bytes) : data(static_cast<std::uint8_t*>(Kes::doAlloc(bytes))), size(bytes) {}
  ~CBuffer() { Kes::doFree(data); }
  CBuffer(const CBuffer&) = delete;
  CBuffer& operator=(const CBuffer&) = delete;
  std::uint8_t* data;
  std::size_t size;
};

Kes::CPtr<Image::IImage> OpenPage(const fs::path& path) {
  return g_format->OpenImageFile(Kes::CUnicodeString::FromUtf8(path.string()))->OpenImagePage(0);
}

template <class Reader, class OnRow>
void ReadRowsOf(const Kes::CPtr<Kes::IObject>& object, std::int32_t height, OnRow& onRow) {
  const auto rows = Kes::CastOrRaise<Reader>(object);
  for (std::int32_t y = 0; y < height; ++y) {
    onRow(y, rows->GetRow(y));
    rows->ReleaseRow(y);
  }
}

// Reads every row in order; onRow(y, row) sees each before it is released.
template <class OnRow>
void ForEachRow(const Kes::CPtr<Image::IImage>& image, OnRow&& onRow) {
  const std::int32_t height = image->GetImageInfo()->GetHeight();
  const Kes::CPtr<Kes::IObject> reader = image->GetReader();
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      return ReadRowsOf<Image::IRLEImageReader>(reader, height, onRow);
    case Image::ImageTypeGray:
      return ReadRowsOf<Image::IGrayImageReader>(reader, height, onRow);
    case Image::ImageTypeRGB:
      return ReadRowsOf<Image::IRGBImageReader>(reader, height, onRow);
  }
}

void CopyRow(std::uint8_t* out, std::int32_t, const Image::CRGBColor* row, std::int32_t width) {
  std::memcpy(out, row, std::size_t(width) * sizeof(Image::CRGBColor));
}
void CopyRow(std::uint8_t* out, std::int32_t, const Image::CGrayColor* row, std::int32_t width) {
  std::memcpy(out, row, std::size_t(width));
}
void CopyRow(std::uint8_t* out, std::int32_t, const Image::CRleStroke* row, std::int32_t width) {
  std::memset(out, kWhite, std::size_t(width));
  for (; !Image::IsEndStroke(*row); ++row) {
    const std::int32_t start = std::clamp<std::int32_t>(row->start, 0, width);
    const std::int32_t end = std::clamp<std::int32_t>(row->end, start, width);
    std::memset(out + start, 0, std::size_t(end - start));
  }
}

void WholeDecode(benchmark::State& state, const CVariant& variant) {
  for (auto _ : state) {
    const auto image = OpenPage(variant.path);
    const std::int32_t width = image->GetImageInfo()->GetWidth();
    const std::int64_t rowBytes = width * DecodedBytesPerPixel(variant.decoded);
    CBuffer decoded(std::size_t(rowBytes) * std::size_t(image->GetImageInfo()->GetHeight()));
    ForEachRow(image, [&](std::int32_t y, const auto* row) { CopyRow(decoded.data + y * rowBytes, y, row, width); });
    benchmark::DoNotOptimize(decoded.data);
  }
}

void StreamingDecode(benchmark::State& state, const CVariant& variant) {
  std::int64_t peak = 0;
  for (auto _ : state) {
    Kes::ResetPeakMemory();
    const std::int64_t before = Kes::GetMemoryStats().liveBytes;
    {
      const auto image = OpenPage(variant.path);
      ForEachRow(image, [](std::int32_t, const auto* row) { benchmark::DoNotOptimize(row); });
    }
    peak = std::max(peak, Kes::GetMemoryStats().peakBytes - before);
  }
  state.counters["peakMiB"] = double(peak) / kMiB;
}

void FloorDecodeCase(benchmark::State& state, const CVariant& variant, std::int64_t pixels) {
  for (auto _ : state) FloorDecode(variant.path.string(), std::size_t(pixels * DecodedBytesPerPixel(variant.decoded)));
}

void PeerDecode(benchmark::State& state, const CVariant& variant, const CPeer& peer) {
  for (auto _ : state) {
    if (peer.decode(variant.path.string(), variant.decoded) == 0) {
      state.SkipWithError("refused");
      return;
    }
  }
}

// ---- writing ----

struct CWriteCase {
  CWriteCase(Kes::CPtr<Image::IImage> blank, std::size_t rawBytes, int channelCount)
      : image(std::move(blank)), raw(rawBytes), channels(channelCount) {}
  Kes::CPtr<Image::IImage> image;  // a blank host image holding every row
  CBuffer raw;                     // the same pixels interleaved, for the peers
  int channels;
};

Kes::CPtr<Image::IImage> BlankLike(const Kes::CPtr<Image::IImage>& image) {
  const auto info = image->GetImageInfo();
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      return g_services->CreateBlankBWImage(info);
    case Image::ImageTypeGray:
      return g_services->CreateBlankGrayImage(info, 4);
    case Image::ImageTypeRGB:
      return g_services->CreateBlankRGBImage(info, 4);
  }
  return {};
}

void Store(Image::IRGBImageWriter& writer, std::int32_t y, const Image::CRGBColor* row, std::int32_t width) {
  std::copy(row, row + width, writer.GetRowBuffer(y));
  writer.ReleaseRowBuffer(y);
}
void Store(Image::IGrayImageWriter& writer, std::int32_t y, const Image::CGrayColor* row, std::int32_t width) {
  std::copy(row, row + width, writer.GetRowBuffer(y));
  writer.ReleaseRowBuffer(y);
}
void Store(Image::IRLEImageWriter& writer, std::int32_t y, const Image::CRleStroke* row, std::int32_t) {
  Image::CRleStroke* out = writer.GetRowBuffer(y);
  for (; !Image::IsEndStroke(*row); ++row) *out++ = *row;
  *out++ = Image::kEndStroke;
  writer.SetRowEnd(y, out);
  writer.ReleaseRowBuffer(y);
}

template <class Reader, class Writer>
void CopyInto(const Kes::CPtr<Image::IImage>& from, const Kes::CPtr<Image::IImage>& to, CBuffer& raw, int channels) {
  const auto reader = Kes::CastOrRaise<Reader>(from->GetReader());
  const auto writer = Kes::CastOrRaise<Writer>(to->GetWriter());
  const std::int32_t width = from->GetImageInfo()->GetWidth();
  const std::int32_t height = from->GetImageInfo()->GetHeight();
  const std::int64_t rowBytes = std::int64_t{width} * channels;
  for (std::int32_t y = 0; y < height; ++y) {
    const auto* row = reader->GetRow(y);
    Store(*writer, y, row, width);
    CopyRow(raw.data + y * rowBytes, y, row, width);
    reader->ReleaseRow(y);
  }
}

std::unique_ptr<CWriteCase> MakeWriteCase(const CVariant& variant) {
  const auto source = OpenPage(variant.path);
  const auto info = source->GetImageInfo();
  const int channels = int(DecodedBytesPerPixel(variant.decoded));
  auto result = std::make_unique<CWriteCase>(
      BlankLike(source), std::size_t(info->GetWidth()) * std::size_t(info->GetHeight()) * std::size_t(channels), channels);
  switch (source->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      CopyInto<Image::IRLEImageReader, Image::IRLEImageWriter>(source, result->image, result->raw, channels);
      break;
    case Image::ImageTypeGray:
      CopyInto<Image::IGrayImageReader, Image::IGrayImageWriter>(source, result->image, result->raw, channels);
      break;
    case Image::ImageTypeRGB:
      CopyInto<Image::IRGBImageReader, Image::IRGBImageWriter>(source, result->image, result->raw, channels);
      break;
  }
  return result;
}

void ModuleWrite(benchmark::State& state, const CWriteCase& write, const fs::path& out) {
  for (auto _ : state) {
    g_format->CreateImageFileWriter(Kes::CUnicodeString::FromUtf8(out.string()))->AddImagePage(write.image, nullptr);
  }
  state.counters["fileMiB"] = double(fs::file_size(out)) / kMiB;
}

void FloorWrite(benchmark::State& state, std::uintmax_t bytes, const fs::path& out) {
  CBuffer chunk(kFloorBuffer);
  std::memset(chunk.data, 0, chunk.size);
  for (auto _ : state) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(out.c_str(), "wb"), std::fclose);
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    for (std::uintmax_t left = bytes; left > 0;) {
      const std::size_t piece = std::size_t(std::min<std::uintmax_t>(left, chunk.size));
      std::fwrite(chunk.data, 1, piece, file.get());
      left -= piece;
    }
  }
}

void PeerWrite(benchmark::State& state, const CWriteCase& write, const CPeer& peer, const fs::path& out, int width, int height) {
  for (auto _ : state) {
    if (!peer.write(out.string(), width, height, write.channels, write.raw.data)) {
      state.SkipWithError("refused");
      return;
    }
  }
}

// ---- the report ----

struct CResult {
  double seconds = 0;  // per iteration
  bool failed = false;
};

class CCollectingReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      m_results[run.benchmark_name()] = {run.GetAdjustedRealTime() / 1e3, run.error_occurred};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, CResult>& Results() const { return m_results; }

private:
  std::map<std::string, CResult> m_results;
};

std::string Key(const std::string& group, const std::string& variant, const std::string& label) {
  return group + "/" + variant + "/" + label + "/iterations:" + std::to_string(kIterations) + "/real_time";
}

void PrintTable(const CCollectingReporter& reporter, const std::string& group, const std::vector<std::string>& variants,
                const std::vector<std::string>& ours, const std::vector<CPeer>& peers, double megapixels) {
  std::printf("\n%-14s %-10s %9s %9s %9s\n", group.c_str(), "case", "MP/s", "x floor", "x peer");
  const auto& results = reporter.Results();
  for (const std::string& variant : variants) {
    auto seconds = [&](const std::string& label) {
      const auto found = results.find(Key(group, variant, label));
      return found == results.end() || found->second.failed ? 0.0 : found->second.seconds;
    };
    const double floor = seconds("floor");
    double fastestPeer = 0;
    for (const CPeer& peer : peers) {
      const double t = seconds(peer.name);
      if (t > 0 && (fastestPeer == 0 || t < fastestPeer)) fastestPeer = t;
    }
    std::vector<std::string> labels = ours;
    labels.push_back("floor");
    for (const CPeer& peer : peers) labels.push_back(peer.name);
    for (const std::string& label : labels) {
      const double t = seconds(label);
      if (t == 0) {
        std::printf("%-14s %-10s %9s\n", variant.c_str(), label.c_str(), "did not run");
        continue;
      }
      std::printf("%-14s %-10s %9.1f %9.2f %9.2f\n", variant.c_str(), label.c_str(), megapixels / t,
                  floor > 0 ? t / floor : 0.0, fastestPeer > 0 ? t / fastestPeer : 0.0);
    }
  }
}

int Run(int argc, char** argv) {
  const int width = SizeFromEnvironment("BMP_BENCH_WIDTH", kDefaultWidth);
  const int height = SizeFromEnvironment("BMP_BENCH_HEIGHT", kDefaultHeight);
  const double megapixels = double(width) * double(height) / 1e6;
  // --write-variants DIR: only the images, one "name kind path" line each, for
  // the whole-process table that scripts/bench times.
  if (argc == 3 && std::strcmp(argv[1], "--write-variants") == 0) {
    fs::create_directories(argv[2]);
    for (const CVariant& v : WriteVariants(argv[2], width, height)) {
      std::printf("%s %s %s\n", v.name.c_str(), DecodedName(v.decoded), v.path.c_str());
    }
    return 0;
  }
  const fs::path dir = fs::temp_directory_path() / ("bmp-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::printf("generating %d x %d images in %s\n", width, height, dir.c_str());
  const std::vector<CVariant> variants = WriteVariants(dir, width, height);
  const std::vector<CPeer> peers = AvailablePeers();
  std::printf("peers:");
  for (const CPeer& peer : peers) std::printf(" %s", peer.name.c_str());
  std::printf("%s\n", peers.empty() ? " none" : "");

  auto add = [](const std::string& name, auto&&... args) {
    benchmark::RegisterBenchmark(name.c_str(), args...)->Iterations(kIterations)->UseRealTime()->Unit(benchmark::kMillisecond);
  };
  std::vector<std::string> names;
  const std::int64_t pixels = std::int64_t{width} * height;
  for (const CVariant& v : variants) {
    names.push_back(v.name);
    add("decode/" + v.name + "/whole", WholeDecode, v);
    add("decode/" + v.name + "/stream", StreamingDecode, v);
    add("decode/" + v.name + "/floor", FloorDecodeCase, v, pixels);
    for (const CPeer& peer : peers) add("decode/" + v.name + "/" + peer.name, PeerDecode, v, peer);
  }
  std::vector<std::unique_ptr<CWriteCase>> writes;
  std::vector<std::string> writeNames;
  for (const CVariant& v : variants) {
    if (v.name != "bw1" && v.name != "gray8" && v.name != "rgb24") continue;
    writes.push_back(MakeWriteCase(v));
    const CWriteCase& write = *writes.back();
    writeNames.push_back(v.name);
    const fs::path out = dir / ("out-" + v.name + ".bmp");
    // The floor writes as many bytes as the module's file has.
    g_format->CreateImageFileWriter(Kes::CUnicodeString::FromUtf8(out.string()))->AddImagePage(write.image, nullptr);
    add("write/" + v.name + "/module", ModuleWrite, std::cref(write), out);
    add("write/" + v.name + "/floor", FloorWrite, fs::file_size(out), dir / ("out-" + v.name + "-floor.bmp"));
    for (const CPeer& peer : peers) {
      add("write/" + v.name + "/" + peer.name, PeerWrite, std::cref(write), peer, dir / ("out-" + v.name + "-" + peer.name + ".bmp"),
          width, height);
    }
  }

  benchmark::Initialize(&argc, argv);
  CCollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%d x %d pixels (%.1f MP); x floor and x peer are time ratios (lower is faster)\n", width, height, megapixels);
  PrintTable(reporter, "decode", names, {"whole", "stream"}, peers, megapixels);
  PrintTable(reporter, "write", writeNames, {"module"}, peers, megapixels);
  writes.clear();
  fs::remove_all(dir);
  return 0;
}

}  // namespace
}  // namespace BmpBench

int main(int argc, char** argv) {
  Image::CHostServicesScope host;
  Kes::HMODULE module = Kes::LoadModule(Kes::CUnicodeString::FromUtf8(BMP_MODULE_PATH));
  BmpBench::g_format = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
  BmpBench::g_services = Kes::CreateObject<Image::IImageServices>(u"Image.ImageServices");
  const int result = BmpBench::Run(argc, argv);
  BmpBench::g_format.Reset();
  BmpBench::g_services.Reset();
  Kes::UnloadModule(module);
  return result;
}
