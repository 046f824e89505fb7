#pragma once
#include "Kes/Errors.h"
#include "Kes/Export.h"
#include "Kes/Factory.h"
#include "Kes/String.h"

namespace Kes {

inline constexpr int kKestrelVersion = 12014;

using ModuleCallback = void (*)();
using StaticStep = void (*)();

KES_API void RegisterModule(HMODULE module, ModuleCallback onLoad, ModuleCallback onUnload);
// Unregistering a module that was never registered does nothing.
KES_API void UnregisterModule(HMODULE module) noexcept;
KES_API bool IsModuleRegistered(HMODULE module) noexcept;

// A static part brackets a module's start-up or shut-down. Errors raised in
// its steps are recorded rather than thrown, and after the first one the
// remaining steps are skipped.
KES_API void BeginStaticPart();
KES_API void EndStaticPart();
// True when a step of the current (or last ended) static part raised.
KES_API bool HasStaticPartError() noexcept;
// Runs step, recording a raised error; does nothing once an error is recorded.
KES_API void RunInStaticPart(StaticStep step);
// The first error recorded since the last take, handed to the caller (who
// deletes it), or null. The module loader names it when a load fails.
KES_API CException* TakeStaticPartError() noexcept;

KES_API void AddNotUnloadingResourceModule(HMODULE module);
// Removing a module that was never added does nothing.
KES_API void RemoveResourceModule(HMODULE module) noexcept;
KES_API bool IsResourceModule(HMODULE module) noexcept;

KES_API int GetKestrelsVersion() noexcept;

// The handle of the process's main program.
KES_API HMODULE GetMainModuleHandle();

// Opens a module library and runs its start-up; a failed start-up raises
// ERR_MODULE_LOAD naming the module and the reason. A path that is already
// loaded is refused the same way.
KES_API HMODULE LoadModule(const CUnicodeString& path);
// Runs the module's shut-down and closes it. Objects of the module must be
// gone before: their code goes with the module.
KES_API void UnloadModule(HMODULE module);

namespace Testing {
// Makes GetKestrelsVersion report another version; 0 restores the real one.
KES_API void SetReportedVersion(int version) noexcept;
// Makes the step of that index (0 = first) of the next static part fail as if
// it had raised; -1 cancels.
KES_API void FailStaticPartStep(int stepIndex) noexcept;
}  // namespace Testing

}  // namespace Kes
