#pragma once
#include <utility>

#include "Kes/Module.h"

namespace Kes {

// Sole owner of a loaded module: the module is unloaded when the owner goes.
// Declared before the module's objects, it outlives them, so no object's code
// is unmapped while the object still exists.
class CModuleOwner {
public:
  // Owns nothing yet; a loaded module can be moved in later.
  CModuleOwner() noexcept = default;
  // Loads the module; a failed load raises ERR_MODULE_LOAD and owns nothing.
  explicit CModuleOwner(const CUnicodeString& path) : m_module(LoadModule(path)) {}
  CModuleOwner(CModuleOwner&& other) noexcept : m_module(std::exchange(other.m_module, nullptr)) {}
  CModuleOwner& operator=(CModuleOwner&& other) noexcept {
    std::swap(m_module, other.m_module);
    return *this;
  }
  CModuleOwner(const CModuleOwner&) = delete;
  CModuleOwner& operator=(const CModuleOwner&) = delete;
  // Only a handle that is not loaded makes UnloadModule raise, and an owner's
  // handle stays loaded until here.
  ~CModuleOwner() {
    if (m_module) UnloadModule(m_module);
  }

  // The module's handle; null once the owner has been moved from.
  HMODULE Handle() const noexcept { return m_module; }

private:
  HMODULE m_module = nullptr;
};

}  // namespace Kes
