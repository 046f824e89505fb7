#include "Output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "Commands.h"
#include "Errors.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryPattern = ".bmptool-XXXXXX";
constexpr mode_t kCreatedMode = 0666;
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the signal handler removes: written before the flag is raised.
char gTemporary[PATH_MAX];
volatile std::sig_atomic_t gHaveTemporary = 0;

void RemoveTemporaryAndDie(int signal) {
  if (gHaveTemporary) ::unlink(gTemporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void CleanUpOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndDie;
  sigemptyset(&action.sa_mask);
  for (const int signal : kCleanedSignals) ::sigaction(signal, &action, nullptr);
}

[[noreturn]] void Fail(const std::string& what, int code) { throw CFileProblem{WithSystemReason(what, code)}; }

// Nothing in the device folder (but its shared-memory folder, which holds
// plain files) is ever created, renamed over or removed, whether OUT is named
// there or leads there: a name there that is not a device (a lost /dev/null
// turned into a plain file) is written in place like one, and a missing one is
// not made.
bool InDeviceFolder(const fs::path& path) {
  const std::string full = path.string();
  return full.rfind("/dev/", 0) == 0 && full.rfind("/dev/shm/", 0) != 0;
}
bool NamedOrLeadingIntoDeviceFolder(const std::string& path) {
  std::error_code error;
  return InDeviceFolder(fs::absolute(path, error)) || InDeviceFolder(fs::weakly_canonical(path, error));
}

// OUT, or the file it names through symbolic links, as cp writes it; a name in
// the device folder is kept as it is (/dev/stdout leads to a pipe's pseudo-name).
std::string Target(const std::string& out) {
  std::error_code error;
  if (InDeviceFolder(fs::absolute(out, error)) || !fs::is_symlink(out, error)) return out;
  const fs::path target = fs::weakly_canonical(out, error);
  if (error) Fail("cannot be written", error.value());
  return target.string();
}

mode_t CreatedMode(const struct stat* existing) {
  if (existing) return existing->st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return kCreatedMode & ~mask;
}

}  // namespace

COutputFile::COutputFile(const std::string& out) : m_target(out == kStandardStream ? out : Target(out)) {
  if (IsStandardOutput()) {
    // A copy, so that closing it after the last byte leaves the process's stdout alone.
    m_fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0) Fail("cannot be written", errno);
    return;
  }
  struct stat status {};
  const bool exists = ::stat(m_target.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) Fail("cannot be written", EISDIR);
  if ((exists && !S_ISREG(status.st_mode)) || NamedOrLeadingIntoDeviceFolder(m_target)) {
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (m_fd < 0) Fail("cannot be written", errno);
  } else {
    const fs::path folder = fs::path(m_target).parent_path();
    std::string name = ((folder.empty() ? fs::path(".") : folder) / kTemporaryPattern).string();
    if (name.size() >= sizeof gTemporary) Fail("cannot be created", ENAMETOOLONG);
    CleanUpOnSignals();
    // The cleaned signals wait until the temporary's name is recorded: one
    // arriving just after the file is made would otherwise leave it behind.
    sigset_t cleaned, previous;
    sigemptyset(&cleaned);
    for (const int signal : kCleanedSignals) sigaddset(&cleaned, signal);
    ::pthread_sigmask(SIG_BLOCK, &cleaned, &previous);
    // mkostemp creates with O_CREAT | O_EXCL: it never opens an existing file or follows a link.
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    const int created = errno;
    if (m_fd >= 0) {
      std::memcpy(gTemporary, name.c_str(), name.size() + 1);
      gHaveTemporary = 1;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (m_fd < 0) Fail("cannot be created", created);
    m_temporary = name;
    if (::fchmod(m_fd, CreatedMode(exists ? &status : nullptr)) != 0) {
      const int code = errno;
      Discard();
      Fail("cannot be created", code);
    }
  }
  const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
  m_nameForModule = ::access(self.c_str(), F_OK) == 0 ? self : (m_temporary.empty() ? m_target : m_temporary);
}

COutputFile::~COutputFile() { Discard(); }

std::FILE* COutputFile::Stream() {
  if (!m_stream) {
    m_stream = ::fdopen(m_fd, "wb");
    if (!m_stream) Fail("cannot be written", errno);
  }
  return m_stream;
}

void COutputFile::Commit() {
  errno = 0;
  if (m_stream && (std::fflush(m_stream) != 0 || std::ferror(m_stream))) Fail("cannot be written", errno ? errno : EIO);
  const int closed = m_stream ? std::fclose(m_stream) : ::close(m_fd);
  m_stream = nullptr;
  m_fd = -1;
  if (closed != 0) Fail("cannot be written", errno);
  if (m_temporary.empty()) return;
  if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) Fail("cannot be written", errno);
  gHaveTemporary = 0;
  m_temporary.clear();
}

void COutputFile::Discard() noexcept {
  if (m_stream) std::fclose(m_stream);
  else if (m_fd >= 0) ::close(m_fd);
  m_stream = nullptr;
  m_fd = -1;
  if (m_temporary.empty()) return;
  ::unlink(m_temporary.c_str());
  gHaveTemporary = 0;  // only now: a signal before the unlink still removes the file
  m_temporary.clear();
}

}  // namespace BmpTool
