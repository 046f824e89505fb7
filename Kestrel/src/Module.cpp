#include "Kes/Module.h"

#include <atomic>
#include <mutex>
#include <set>

namespace Kes {
namespace {

struct ModuleState {
  std::mutex lock;
  std::set<HMODULE> modules;
  std::set<HMODULE> resourceModules;
  int openParts = 0;
  bool partHasError = false;
  int stepsRun = 0;        // steps of the open static part
  int failingStep = -1;    // test seam: the step that is made to fail
  CException* recorded = nullptr;  // first error since the last take
};

ModuleState& State() {
  static ModuleState state;
  return state;
}

std::atomic<int> g_reportedVersion{0};

}  // namespace

void RegisterModule(HMODULE module, ModuleCallback, ModuleCallback) {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  state.modules.insert(module);
}

void UnregisterModule(HMODULE module) noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  state.modules.erase(module);
}

bool IsModuleRegistered(HMODULE module) noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  return state.modules.count(module) != 0;
}

void BeginStaticPart() {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  if (state.openParts != 0) RaiseInternal(Sites::StaticPartNesting, state.openParts);
  ++state.openParts;
  state.partHasError = false;
  state.stepsRun = 0;
}

void EndStaticPart() {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  if (state.openParts != 1) RaiseInternal(Sites::StaticPartNesting, state.openParts);
  --state.openParts;
}

bool HasStaticPartError() noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  return state.partHasError;
}

void RunInStaticPart(StaticStep step) {
  ModuleState& state = State();
  {
    std::lock_guard guard(state.lock);
    if (state.openParts != 1) RaiseInternal(Sites::StaticPartNesting, state.openParts);
    if (state.partHasError) return;
    if (state.stepsRun++ == state.failingStep) {
      state.failingStep = -1;
      state.partHasError = true;
      return;
    }
  }
  try {
    step();
  } catch (CException* error) {
    std::lock_guard guard(state.lock);
    state.partHasError = true;
    if (state.recorded) {
      error->Delete();
      return;
    }
    state.recorded = error;
  }
}

CException* TakeStaticPartError() noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  CException* taken = state.recorded;
  state.recorded = nullptr;
  return taken;
}

void AddNotUnloadingResourceModule(HMODULE module) {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  state.resourceModules.insert(module);
}

void RemoveResourceModule(HMODULE module) noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  state.resourceModules.erase(module);
}

bool IsResourceModule(HMODULE module) noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  return state.resourceModules.count(module) != 0;
}

int GetKestrelsVersion() noexcept {
  const int reported = g_reportedVersion.load(std::memory_order_relaxed);
  return reported != 0 ? reported : kKestrelVersion;
}

namespace Testing {
void SetReportedVersion(int version) noexcept { g_reportedVersion.store(version, std::memory_order_relaxed); }

void FailStaticPartStep(int stepIndex) noexcept {
  ModuleState& state = State();
  std::lock_guard guard(state.lock);
  state.failingStep = stepIndex;
}
}  // namespace Testing

}  // namespace Kes
