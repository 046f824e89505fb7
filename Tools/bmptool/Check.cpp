// bmptool check: decodes every row of many files on several threads. Only the
// main thread prints: results in input order as soon as the files before them
// are done, and a progress line when stderr is a terminal.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include <unistd.h>

#include "Commands.h"
#include "Errors.h"
#include "Json.h"
#include "ModuleSession.h"
#include "ImageHost/ImageAccess.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
constexpr double kMegabyte = 1e6;

bool HasBmpExtension(const fs::path& path) {
  const std::string ext = LowerExtension(path.string());
  return ext == ".bmp" || ext == ".dib" || ext == ".rle";
}

std::vector<std::string> CollectFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
      if (entry.is_regular_file(error) && HasBmpExtension(entry.path())) found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

struct CCheckResult {
  bool done = false;
  std::optional<CJsonObject> errorJson;  // set when the file failed
  std::string errorText;                 // "ERR_ID: message"
  TExitCode status = ExitOk;
};

// The file's size for the progress line; 0 for one that cannot be asked.
std::uintmax_t SizeOf(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

// Pulls every row in the image's own kind: checking decodes and converts nothing.
template <class TReader>
void PullRows(const Kes::CPtr<Image::IImage>& image) {
  const auto reader = Kes::CastOrRaise<TReader>(image->GetReader());
  const std::int32_t height = image->GetImageInfo()->GetHeight();
  for (std::int32_t y = 0; y < height; ++y) {
    reader->GetRow(y);
    reader->ReleaseRow(y);
  }
}

void DecodeEveryRow(const Kes::CPtr<Image::IImage>& image) {
  switch (image->GetImageType()) {
    case Image::ImageTypeBlackAndWhite:
      return PullRows<Image::IRLEImageReader>(image);
    case Image::ImageTypeGray:
      return PullRows<Image::IGrayImageReader>(image);
    case Image::ImageTypeRGB:
      return PullRows<Image::IRGBImageReader>(image);
  }
}

void CheckOne(const Kes::CPtr<Image::IBmpImageFileFormat>& format, const std::string& path, CCheckResult& result) {
  try {
    const auto image = format->OpenImageFile(Kes::CUnicodeString::FromUtf8(path))->OpenImagePage(0);
    DecodeEveryRow(image);
  } catch (Kes::CException* error) {
    result.errorJson = ErrorJson(*error);
    result.errorText = std::string(error->ErrorId()) + ": " + error->Message().ToUtf8();
    result.status = ExitCodeOf(*error);
    error->Delete();
  }
}

// "[=====>     ] 12/40 files  35.2 MB/s  ETA 0:03" on one redrawn line.
class CProgress {
public:
  CProgress(std::size_t total, std::uintmax_t totalBytes)
      : m_enabled(::isatty(STDERR_FILENO) == 1), m_total(total), m_totalBytes(totalBytes), m_start(TClock::now()) {}

  void Draw(std::size_t done, std::uintmax_t doneBytes, bool force) {
    if (!m_enabled) return;
    const auto now = TClock::now();
    if (!force && now - m_lastDraw < kProgressInterval) return;
    m_lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double rate = seconds > 0 ? double(doneBytes) / seconds : 0;
    const int filled = m_total ? int(kBarWidth * done / m_total) : kBarWidth;
    std::string bar(std::size_t(filled), '=');
    if (filled < kBarWidth) bar += '>';
    bar.resize(kBarWidth, ' ');
    const double left = rate > 0 ? double(m_totalBytes - std::min(doneBytes, m_totalBytes)) / rate : 0;
    std::fprintf(stderr, "\r[%s] %zu/%zu files  %.1f MB/s  ETA %d:%02d\x1b[K", bar.c_str(), done, m_total,
                 rate / kMegabyte, int(left) / 60, int(left) % 60);
    std::fflush(stderr);
  }
  // Clears the line so that a message can be printed.
  void Clear() {
    if (m_enabled) std::fputs("\r\x1b[K", stderr);
  }

private:
  bool m_enabled;
  std::size_t m_total;
  std::uintmax_t m_totalBytes;
  TClock::time_point m_start;
  TClock::time_point m_lastDraw{};
};

struct CCheckOptions {
  bool quiet = false;
  bool json = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> paths;
};

CCheckOptions ParseCheck(const std::vector<std::string>& args) {
  CCheckOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "-j" || arg == "--jobs") {
      if (i + 1 == args.size()) throw CUsageError{arg + " needs a number of threads"};
      const std::string& count = args[++i];
      char* end = nullptr;
      const long jobs = std::strtol(count.c_str(), &end, 10);
      if (count.empty() || *end != '\0' || jobs < 1 || jobs > 1024) {
        throw CUsageError{arg + " takes a number from 1 to 1024, not " + count};
      }
      options.jobs = unsigned(jobs);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw CUsageError{"unknown option " + arg};
    } else {
      options.paths.push_back(arg);
    }
  }
  if (options.paths.empty()) throw CUsageError{"check needs at least one PATH"};
  return options;
}

}  // namespace

int RunCheck(const std::vector<std::string>& args) {
  const CCheckOptions options = ParseCheck(args);
  const CModuleSession session;
  const std::vector<std::string> files = CollectFiles(options.paths);
  std::vector<CCheckResult> results(files.size());
  std::vector<std::uintmax_t> sizes;
  std::uintmax_t totalBytes = 0;
  for (const std::string& file : files) totalBytes += sizes.emplace_back(SizeOf(file));

  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::size_t completed = 0;  // guarded by mutex
  auto work = [&] {
    for (std::size_t i; (i = next++) < files.size();) {
      CCheckResult result;
      CheckOne(session.Format(), files[i], result);
      result.done = true;
      const std::lock_guard lock(mutex);
      results[i] = std::move(result);
      ++completed;
      finished.notify_one();
    }
  };
  std::vector<std::jthread> workers;
  const std::size_t threads = std::min<std::size_t>(options.jobs, files.size());
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(work);

  CProgress progress(files.size(), totalBytes);
  std::vector<CJsonObject> report;
  int status = ExitOk;
  int failed = 0;
  std::uintmax_t doneBytes = 0;
  for (std::size_t printed = 0; printed < files.size(); ++printed) {
    std::unique_lock lock(mutex);
    while (!results[printed].done) {
      finished.wait_for(lock, kProgressInterval);
      progress.Draw(completed, doneBytes, false);
    }
    const CCheckResult result = std::move(results[printed]);
    lock.unlock();
    doneBytes += sizes[printed];
    status = std::max<int>(status, result.status);
    if (result.errorJson) ++failed;
    if (options.json) {
      CJsonObject entry;
      entry.Add("file", files[printed]).Add("ok", !result.errorJson);
      if (result.errorJson) entry.Add("error", *result.errorJson);
      report.push_back(std::move(entry));
    } else if (result.errorJson) {
      progress.Clear();
      std::fprintf(stderr, "bmptool: %s: %s\n", files[printed].c_str(), result.errorText.c_str());
    }
  }
  workers.clear();
  progress.Draw(files.size(), doneBytes, true);
  progress.Clear();
  if (options.json) PrintJsonArray(report);
  else if (!options.quiet) std::printf("%zu files checked, %d broken or refused\n", files.size(), failed);
  return status;
}

}  // namespace BmpTool
