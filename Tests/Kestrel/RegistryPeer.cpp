#include "RegistryPeer.h"

#include "Kes/Factory.h"

IPeerGreeter::~IPeerGreeter() = default;

namespace {

class CPeerGreeter final : public IPeerGreeter {
public:
  int Greet() const override { return 42; }
};

Kes::CPtr<Kes::IObject> CreatePeerGreeter() { return Kes::MakeObject<CPeerGreeter>(); }

}  // namespace

void RegisterPeerGreeter() {
  Kes::RegisterCreateObjectFunction(CreatePeerGreeter, typeid(CPeerGreeter), u"Test.PeerGreeter");
}

void UnregisterPeerGreeter() { Kes::UnregisterCreateObjectFunction(typeid(CPeerGreeter)); }
