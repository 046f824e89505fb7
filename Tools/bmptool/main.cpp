// Until the format module can be loaded, the tool shows the framework at work:
// objects created by name, and an error raised, caught and printed.
#include <cstdio>

#include "Kes/Errors.h"
#include "Kes/Factory.h"

namespace {

class IGreeter : public virtual Kes::IObject {
public:
  virtual Kes::CUnicodeString Greeting() const = 0;
};

class CGreeter : public IGreeter {
public:
  Kes::CUnicodeString Greeting() const override { return u"hello from an object created by name"; }
};

Kes::CPtr<Kes::IObject> CreateGreeter() { return Kes::MakeObject<CGreeter>(); }

void PrintRaised(Kes::CException* raised) {
  std::printf("raised %s: %s\n", raised->ErrorId(), raised->Message().ToUtf8().c_str());
  raised->Delete();
}

}  // namespace

int main() {
  Kes::RegisterCreateObjectFunction(CreateGreeter, typeid(CGreeter), u"Demo.Greeter");
  const auto greeter = Kes::CreateObject<IGreeter>(u"Demo.Greeter");
  std::printf("%s\n", greeter->Greeting().ToUtf8().c_str());
  try {
    Kes::DoCreateObject(u"Demo.Missing");
  } catch (Kes::CException* raised) {
    PrintRaised(raised);
  }
  Kes::UnregisterCreateObjectFunction(typeid(CGreeter));
  return 0;
}
