#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/Factory.h"
#include "Kes/File.h"
#include "Kes/Module.h"
#include "Kes/Object.h"
#include "Support/Expect.h"

namespace {

class IProbe : public virtual Kes::IObject {
public:
  virtual int Value() const = 0;
};

std::atomic<int> g_destroyed{0};

class CProbe : public IProbe {
public:
  int Value() const override { return 7; }
  ~CProbe() override { g_destroyed.fetch_add(1); }
};

TEST(Object, DeletesItselfExactlyOnceUnderConcurrentTakeAndDropIntoTheFrameworkAllocator) {
  g_destroyed = 0;
  const std::int64_t before = Kes::GetMemoryStats().liveBlocks;
  {
    auto probe = Kes::MakeObject<CProbe>();
    EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&probe] {
        for (int i = 0; i < 20000; ++i) Kes::CPtr<IProbe> copy = probe;
      });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(probe->RefCount(), 1);
    EXPECT_EQ(g_destroyed.load(), 0);
  }
  EXPECT_EQ(g_destroyed.load(), 1);
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

TEST(Object, MisusesAreInternalErrors) {
  Kes::CPtr<IProbe> empty;
  EXPECT_INTERNAL(empty->Value(), Kes::Sites::EmptyReference);
  auto probe = Kes::MakeObject<CProbe>();
  Kes::CMemoryFile file(1024);
  Kes::CArchive archive(file, Kes::CArchive::Storing);
  EXPECT_INTERNAL(probe->Serialize(archive), Kes::Sites::DefaultSerialize);
  EXPECT_INTERNAL([&] { std::int32_t v; archive >> v; }(), Kes::Sites::ArchiveDirection);
  Kes::CPtr<Kes::IObject> plain = probe;
  class INothing : public virtual Kes::IObject {};
  EXPECT_INTERNAL(Kes::CastOrRaise<INothing>(plain), Kes::Sites::FailedCast);
}

class CLocal : public Kes::IObject {};
Kes::CPtr<Kes::IObject> CreateLocal() { return Kes::MakeObject<CLocal>(); }

TEST(Registry, SecondRegistrationOfANameIsInternalError) {
  class COther : public Kes::IObject {};
  Kes::RegisterCreateObjectFunction(CreateLocal, typeid(CLocal), u"Test.Twice");
  EXPECT_INTERNAL(Kes::RegisterCreateObjectFunction(CreateLocal, typeid(COther), u"Test.Twice"),
                  Kes::Sites::DuplicateRegistration);
  Kes::UnregisterCreateObjectFunction(typeid(CLocal));
}

std::vector<int> g_ran;

TEST(StaticPart, RecordsTheFirstErrorSkipsTheRemainingStepsAndRefusesStepsOutsideAPart) {
  g_ran.clear();
  Kes::BeginStaticPart();
  Kes::RunInStaticPart([] {
    g_ran.push_back(1);
    Kes::GenerateCheck(Kes::ERR_BAD_ARCHIVE, u"first");
  });
  Kes::RunInStaticPart([] { g_ran.push_back(2); });
  Kes::EndStaticPart();
  EXPECT_TRUE(Kes::HasStaticPartError());
  EXPECT_EQ(g_ran, std::vector<int>{1});
  Kes::CException* recorded = Kes::TakeStaticPartError();
  ASSERT_NE(recorded, nullptr);
  EXPECT_EQ(recorded->Param(1), u"first");
  recorded->Delete();
  EXPECT_EQ(Kes::TakeStaticPartError(), nullptr);
  EXPECT_INTERNAL(Kes::RunInStaticPart([] {}), Kes::Sites::StaticPartNesting);
  EXPECT_INTERNAL(Kes::EndStaticPart(), Kes::Sites::StaticPartNesting);
}

}  // namespace
