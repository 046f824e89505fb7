#include <gtest/gtest.h>

#include "Kes/Factory.h"
#include "RegistryPeer.h"
#include "Support/Expect.h"

namespace {

class ILocal : public virtual Kes::IObject {};
class CLocal : public ILocal {};
Kes::CPtr<Kes::IObject> CreateLocal() { return Kes::MakeObject<CLocal>(); }

TEST(Registry, CreatesANewObjectPerCallUntilUnregistered) {
  Kes::RegisterCreateObjectFunction(CreateLocal, typeid(CLocal), u"Test.Local");
  auto a = Kes::DoCreateObject(u"Test.Local");
  auto b = Kes::DoCreateObject(u"Test.Local");
  EXPECT_NE(a.Get(), b.Get());
  EXPECT_EQ(a->RefCount(), 1);
  Kes::UnregisterCreateObjectFunction(typeid(CLocal));
  EXPECT_FALSE(Kes::IsObjectNameKnown(u"Test.Local"));
  EXPECT_CHECK(Kes::DoCreateObject(u"Test.Local"), "ERR_UNKNOWN_OBJECT", "Test.Local", "", "");
}

TEST(Registry, SecondRegistrationOfANameIsInternalError) {
  class COther : public Kes::IObject {};
  Kes::RegisterCreateObjectFunction(CreateLocal, typeid(CLocal), u"Test.Twice");
  EXPECT_INTERNAL(Kes::RegisterCreateObjectFunction(CreateLocal, typeid(COther), u"Test.Twice"),
                  Kes::Sites::DuplicateRegistration);
  Kes::UnregisterCreateObjectFunction(typeid(CLocal));
}

TEST(Registry, ObjectsFromAnotherLibraryCastToTheirSharedInterface) {
  RegisterPeerGreeter();
  auto greeter = Kes::CreateObject<IPeerGreeter>(u"Test.PeerGreeter");
  EXPECT_EQ(greeter->Greet(), 42);
  UnregisterPeerGreeter();
  EXPECT_FALSE(Kes::IsObjectNameKnown(u"Test.PeerGreeter"));
}

}  // namespace
