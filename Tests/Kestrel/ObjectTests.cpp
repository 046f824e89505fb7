#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/FastObject.h"
#include "Kes/File.h"
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

TEST(Object, DeletesItselfExactlyOnceUnderConcurrentTakeAndDrop) {
  g_destroyed = 0;
  {
    auto probe = Kes::MakeObject<CProbe>();
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
}

TEST(Object, MisusesAreInternalErrors) {
  Kes::CPtr<IProbe> empty;
  EXPECT_INTERNAL(empty->Value(), Kes::Sites::EmptyReference);
  auto probe = Kes::MakeObject<CProbe>();
  Kes::CMemoryFile file(1024);
  Kes::CArchive archive(file, Kes::CArchive::Storing);
  EXPECT_INTERNAL(probe->Serialize(archive), Kes::Sites::DefaultSerialize);
  Kes::CPtr<Kes::IObject> plain = probe;
  EXPECT_EQ(Kes::CastOrRaise<IProbe>(plain)->Value(), 7);
  class INothing : public virtual Kes::IObject {};
  EXPECT_FALSE(Kes::DynamicCast<INothing>(plain));
  EXPECT_INTERNAL(Kes::CastOrRaise<INothing>(plain), Kes::Sites::FailedCast);
}

TEST(Object, ObjectMemoryComesFromTheFrameworkAllocator) {
  const std::int64_t before = Kes::GetMemoryStats().liveBlocks;
  auto probe = Kes::MakeObject<CProbe>();
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before + 1);
  probe.Reset();
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

class CLink : public Kes::CFastObject {
public:
  explicit CLink(Kes::CFastPtr<CLink> below, int* destroyed) : m_below(std::move(below)), m_destroyed(destroyed) {}
  ~CLink() override { ++*m_destroyed; }

private:
  Kes::CFastPtr<CLink> m_below;
  int* m_destroyed;
};

TEST(FastObject, ReleasingTheOutermostLinkDestroysTheWholeChain) {
  int destroyed = 0;
  auto bottom = Kes::MakeFastObject<CLink>(nullptr, &destroyed);
  auto middle = Kes::MakeFastObject<CLink>(bottom, &destroyed);
  bottom.Reset();
  auto top = Kes::MakeFastObject<CLink>(middle, &destroyed);
  middle.Reset();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(top->RefCount(), 1);
  top.Reset();
  EXPECT_EQ(destroyed, 3);
}

}  // namespace
