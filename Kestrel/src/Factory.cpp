#include "Kes/Factory.h"

#include <map>
#include <mutex>
#include <shared_mutex>
#include <typeindex>

namespace Kes {
namespace {

struct Registration {
  CreateObjectFunction create;
  CUnicodeString name;
};

// One registry per process; lookups may run on many threads at once.
struct Registry {
  std::shared_mutex lock;
  std::map<std::type_index, Registration> byType;
  std::map<CUnicodeString, std::type_index> byName;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterCreateObjectFunction(CreateObjectFunction create, const std::type_info& type, const CUnicodeString& name) {
  Registry& registry = TheRegistry();
  std::unique_lock guard(registry.lock);
  if (!create || registry.byType.count(type) || registry.byName.count(name)) RaiseInternal(Sites::DuplicateRegistration);
  registry.byType.emplace(type, Registration{create, name});
  registry.byName.emplace(name, type);
}

void UnregisterCreateObjectFunction(const std::type_info& type) noexcept {
  Registry& registry = TheRegistry();
  std::unique_lock guard(registry.lock);
  const auto found = registry.byType.find(type);
  if (found == registry.byType.end()) return;
  registry.byName.erase(found->second.name);
  registry.byType.erase(found);
}

CPtr<IObject> DoCreateObject(const CUnicodeString& name, ModuleHandleFunction /*module*/) {
  CreateObjectFunction create = nullptr;
  {
    Registry& registry = TheRegistry();
    std::shared_lock guard(registry.lock);
    const auto named = registry.byName.find(name);
    if (named != registry.byName.end()) create = registry.byType.at(named->second).create;
  }
  if (!create) GenerateCheck(ERR_UNKNOWN_OBJECT, name);
  // Called outside the lock: a factory may create further objects by name.
  return create();
}

bool IsObjectNameKnown(const CUnicodeString& name) {
  Registry& registry = TheRegistry();
  std::shared_lock guard(registry.lock);
  return registry.byName.count(name) != 0;
}

}  // namespace Kes
