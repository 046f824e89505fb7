#pragma once
#include <typeinfo>

#include "Kes/Export.h"
#include "Kes/Object.h"
#include "Kes/String.h"

namespace Kes {

using HMODULE = void*;
// Tells the framework which module asks for an object.
using ModuleHandleFunction = HMODULE (*)();
using CreateObjectFunction = CPtr<IObject> (*)();

// Registers a factory under a name, keyed by the type it creates. A name or
// type that is already registered is an internal error.
KES_API void RegisterCreateObjectFunction(CreateObjectFunction create, const std::type_info& type,
                                          const CUnicodeString& name);
// Forgets the factory of that type; an unknown type changes nothing.
KES_API void UnregisterCreateObjectFunction(const std::type_info& type) noexcept;
// A new object from the named factory; an unknown name raises ERR_UNKNOWN_OBJECT with the name.
KES_API CPtr<IObject> DoCreateObject(const CUnicodeString& name, ModuleHandleFunction module = nullptr);
KES_API bool IsObjectNameKnown(const CUnicodeString& name);

// DoCreateObject followed by the cast to the interface the caller needs
// (an object that is not one is an internal error).
template <class T>
CPtr<T> CreateObject(const CUnicodeString& name, ModuleHandleFunction module = nullptr) {
  return CastOrRaise<T>(DoCreateObject(name, module));
}

}  // namespace Kes
