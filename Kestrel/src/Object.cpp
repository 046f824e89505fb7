#include "Kes/Object.h"

#include "Kes/FastObject.h"

namespace Kes {

void IObject::Serialize(CArchive&) { RaiseInternal(Sites::DefaultSerialize); }

// Out-of-line key functions: one copy of the type information per process.
IObject::~IObject() = default;
CFastObject::~CFastObject() = default;

}  // namespace Kes
