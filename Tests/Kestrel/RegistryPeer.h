#pragma once
#include "Kes/Export.h"
#include "Kes/Object.h"

// An interface whose type information lives in the peer library, as a host's
// or a format's interfaces live in theirs.
class KES_API IPeerGreeter : public virtual Kes::IObject {
public:
  ~IPeerGreeter() override;
  virtual int Greet() const = 0;
};

extern "C" KES_API void RegisterPeerGreeter();
extern "C" KES_API void UnregisterPeerGreeter();
