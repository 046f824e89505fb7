#include <dlfcn.h>

#include <mutex>
#include <set>

#include "Kes/Module.h"

namespace Kes {
namespace {

// The entry points every module library exports.
constexpr const char* kAttachEntry = "KesModuleAttach";
constexpr const char* kDetachEntry = "KesModuleDetach";
using AttachEntry = int (*)(void*);
using DetachEntry = void (*)();

struct LoaderState {
  std::mutex lock;  // one load or unload at a time
  std::set<HMODULE> loaded;
};

LoaderState& Loader() {
  static LoaderState state;
  return state;
}

[[noreturn]] void RaiseLoadError(const CUnicodeString& path, const CUnicodeString& reason) {
  GenerateCheck(ERR_MODULE_LOAD, path, reason);
}

CUnicodeString LastDlError() {
  const char* reason = dlerror();
  return CUnicodeString::FromUtf8(reason ? reason : "unknown reason");
}

// The reason a start-up gave, taken from the static part it ran in.
CUnicodeString StartupFailureReason() {
  CException* error = TakeStaticPartError();
  if (!error) return u"its start-up failed";
  CUnicodeString reason = error->Message();
  error->Delete();
  return reason;
}

}  // namespace

HMODULE GetMainModuleHandle() {
  HMODULE main = dlopen(nullptr, RTLD_NOW);
  if (!main) GenerateCheck(ERR_MODULE_LOAD, u"", LastDlError());
  return main;
}

HMODULE LoadModule(const CUnicodeString& path) {
  LoaderState& state = Loader();
  std::lock_guard guard(state.lock);
  // RTLD_NOLOAD answers whether this very library is already in the process.
  HMODULE present = dlopen(path.ToUtf8().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (present) {
    const bool ours = state.loaded.count(present) != 0;
    dlclose(present);
    if (ours) RaiseLoadError(path, u"it is already loaded");
  }
  HMODULE module = dlopen(path.ToUtf8().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) RaiseLoadError(path, LastDlError());
  auto attach = reinterpret_cast<AttachEntry>(dlsym(module, kAttachEntry));
  if (!attach || !dlsym(module, kDetachEntry)) {
    dlclose(module);
    RaiseLoadError(path, u"it has no module entry points");
  }
  // A failed attach has already undone its own work; only the library is left to close.
  if (attach(module) == 0) {
    const CUnicodeString reason = StartupFailureReason();
    dlclose(module);
    RaiseLoadError(path, reason);
  }
  state.loaded.insert(module);
  return module;
}

void UnloadModule(HMODULE module) {
  LoaderState& state = Loader();
  std::lock_guard guard(state.lock);
  if (!state.loaded.erase(module)) RaiseLoadError(u"", u"it is not loaded");
  auto detach = reinterpret_cast<DetachEntry>(dlsym(module, kDetachEntry));
  detach();
  if (CException* error = TakeStaticPartError()) error->Delete();  // shut-down errors have nobody to go to
  dlclose(module);
}

}  // namespace Kes
