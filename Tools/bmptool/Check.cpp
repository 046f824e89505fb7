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

#include <sys/ioctl.h>
#include <unistd.h>

#include "Commands.h"
#include "Errors.h"
#include "Input.h"
#include "Json.h"
#include "ModuleSession.h"
#include "ImageHost/ImageAccess.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::size_t kBarWidth = 30;
constexpr std::size_t kMinBarWidth = 5;
constexpr std::size_t kDefaultWidth = 79;
constexpr double kEtaAfterSeconds = 2.0;
constexpr double kMegabyte = 1e6;

bool HasBmpExtension(const fs::path& path) {
  const std::string ext = LowerExtension(path.string());
  return ext == ".bmp" || ext == ".dib" || ext == ".rle";
}

struct CCheckResult {
  bool done = false;
  std::optional<CFailure> failure;
};

// A file to decode, or a path the walk could not read (already failed).
struct CCheckItem {
  std::string path;
  CCheckResult result;
};

CCheckItem WalkFailure(const fs::path& path, const std::error_code& error) {
  return {path.string(), {true, Refusal(WithSystemReason("cannot be read", error.value()))}};
}

// Every BMP-named file under folder; a folder that cannot be read is an item
// of its own, and the walk goes on with the rest. Links are not followed.
void Walk(const fs::path& folder, std::vector<CCheckItem>& items) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code statError;
    const fs::file_status status = it->symlink_status(statError);
    if (fs::is_directory(status)) Walk(it->path(), items);
    else if (fs::is_regular_file(status) && HasBmpExtension(it->path())) items.push_back({it->path().string(), {}});
  }
  if (error) items.push_back(WalkFailure(folder, error));
}

std::vector<CCheckItem> CollectItems(const std::vector<std::string>& paths) {
  std::vector<CCheckItem> items;
  for (const std::string& path : paths) {
    std::error_code error;
    if (path == kStandardStream || !fs::is_directory(path, error)) {
      items.push_back({path, {}});
      continue;
    }
    std::vector<CCheckItem> found;
    Walk(path, found);
    std::sort(found.begin(), found.end(), [](const CCheckItem& a, const CCheckItem& b) { return a.path < b.path; });
    std::move(found.begin(), found.end(), std::back_inserter(items));
  }
  return items;
}

// The file's size for the progress line; 0 for one that cannot be asked.
std::uintmax_t SizeOf(const std::string& path) {
  if (path == kStandardStream) return 0;
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

void CheckOne(const CModuleSession& session, std::uint64_t budget, const std::string& path, CCheckResult& result) {
  try {
    const CInput input(path, budget);
    const auto image = OpenInput(input, InputFormatOf(input, session), session, budget);
    DecodeEveryRow(image);
  } catch (...) {
    result.failure = CurrentFailure();
  }
}

const char* Files(std::size_t count) { return count == 1 ? "file" : "files"; }

// The terminal's columns on stderr; 0 when it cannot say.
std::size_t TerminalWidth() {
  winsize size{};
  return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// "[=====>     ] 12/40 files  35.2 MB/s  ETA 0:03" on one redrawn line that
// fits the terminal: the bar narrows first, then the text is cut. The ETA
// appears once the rate has been measured over a while and some files.
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
    char text[128];
    int length = std::snprintf(text, sizeof text, " %zu/%zu %s  %.1f MB/s", done, m_total, Files(m_total), rate / kMegabyte);
    if (seconds >= kEtaAfterSeconds && done > 0 && done < m_total && rate > 0) {
      const double left = double(m_totalBytes - std::min(doneBytes, m_totalBytes)) / rate;
      length += std::snprintf(text + length, sizeof text - std::size_t(length), "  ETA %d:%02d", int(left) / 60,
                              int(left) % 60);
    }
    std::string line(text, std::size_t(length));
    // One column stays free: writing the last one makes some terminals wrap.
    const std::size_t width = TerminalWidth();
    const std::size_t room = width > 0 ? width - 1 : kDefaultWidth;
    const std::size_t bar = std::min<std::size_t>(kBarWidth, room > line.size() + 2 ? room - line.size() - 2 : 0);
    if (bar >= kMinBarWidth) line = "[" + Bar(done, bar) + "]" + line;
    line.resize(std::min(line.size(), room));
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
  }
  // Clears the line so that a message can be printed.
  void Clear() {
    if (m_enabled) std::fputs("\r\x1b[K", stderr);
  }

private:
  std::string Bar(std::size_t done, std::size_t width) const {
    const std::size_t filled = m_total ? width * done / m_total : width;
    std::string bar(filled, '=');
    if (filled < width) bar += '>';
    bar.resize(width, ' ');
    return bar;
  }

  bool m_enabled;
  std::size_t m_total;
  std::uintmax_t m_totalBytes;
  TClock::time_point m_start;
  TClock::time_point m_lastDraw{};
};

}  // namespace

int RunCheck(const CCheckOptions& options) {
  const CModuleSession session;
  std::vector<CCheckItem> items = CollectItems(options.paths);
  std::vector<std::uintmax_t> sizes;
  std::uintmax_t totalBytes = 0;
  for (const CCheckItem& item : items) totalBytes += sizes.emplace_back(SizeOf(item.path));

  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::size_t completed = 0;  // guarded by mutex
  auto work = [&] {
    for (std::size_t i; (i = next++) < items.size();) {
      if (items[i].result.done) continue;  // the walk's failure
      CCheckResult result;
      CheckOne(session, options.budget, items[i].path, result);
      result.done = true;
      const std::lock_guard lock(mutex);
      items[i].result = std::move(result);
      ++completed;
      finished.notify_one();
    }
  };
  std::vector<std::jthread> workers;
  const std::size_t threads = std::min<std::size_t>(options.jobs, items.size());
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(work);

  CProgress progress(items.size(), totalBytes);
  std::vector<CJson> report;
  int status = ExitOk;
  int failed = 0;
  std::uintmax_t doneBytes = 0;
  for (std::size_t printed = 0; printed < items.size(); ++printed) {
    std::unique_lock lock(mutex);
    while (!items[printed].result.done) {
      finished.wait_for(lock, kProgressInterval);
      progress.Draw(completed, doneBytes, false);
    }
    const CCheckResult result = std::move(items[printed].result);
    lock.unlock();
    doneBytes += sizes[printed];
    const std::string& path = items[printed].path;
    if (result.failure) {
      ++failed;
      status = std::max<int>(status, result.failure->code);
    }
    if (options.json) {
      CJson entry{{"file", path}, {"ok", !result.failure}};
      if (result.failure) entry["error"] = result.failure->json;
      report.push_back(std::move(entry));
    } else if (result.failure) {
      progress.Clear();
      Report(path, *result.failure);
    }
  }
  workers.clear();
  progress.Draw(items.size(), doneBytes, true);
  progress.Clear();
  if (options.json) PrintJsonArray(report);
  else if (!options.quiet) std::printf("%zu %s checked, %d broken or refused\n", items.size(), Files(items.size()), failed);
  return status;
}

}  // namespace BmpTool
