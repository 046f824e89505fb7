#include <gtest/gtest.h>

#include <vector>

#include "Kes/Module.h"
#include "Support/Expect.h"

namespace {

std::vector<int> g_ran;

void StepOne() { g_ran.push_back(1); }
void StepFails() {
  g_ran.push_back(2);
  Kes::GenerateCheck(Kes::ERR_BAD_ARCHIVE, u"first");
}
void StepFailsAgain() {
  g_ran.push_back(3);
  Kes::GenerateCheck(Kes::ERR_BAD_ARCHIVE, u"second");
}

TEST(StaticPart, RecordsTheFirstErrorAndSkipsTheRemainingSteps) {
  g_ran.clear();
  Kes::BeginStaticPart();
  Kes::RunInStaticPart(StepOne);
  Kes::RunInStaticPart(StepFails);
  Kes::RunInStaticPart(StepFailsAgain);
  Kes::EndStaticPart();
  EXPECT_TRUE(Kes::HasStaticPartError());
  EXPECT_EQ(g_ran, (std::vector<int>{1, 2}));
  Kes::CException* recorded = Kes::TakeStaticPartError();
  ASSERT_NE(recorded, nullptr);
  EXPECT_EQ(recorded->Param(1), u"first");
  recorded->Delete();
  EXPECT_EQ(Kes::TakeStaticPartError(), nullptr);
}

TEST(StaticPart, StepsOutsideAPartAreInternalError) {
  EXPECT_INTERNAL(Kes::RunInStaticPart(StepOne), Kes::Sites::StaticPartNesting);
  EXPECT_INTERNAL(Kes::EndStaticPart(), Kes::Sites::StaticPartNesting);
}

TEST(Modules, RegistrationAndResourceModulesAreUndoneExactly) {
  Kes::HMODULE handle = &g_ran;
  Kes::RegisterModule(handle, nullptr, nullptr);
  Kes::AddNotUnloadingResourceModule(handle);
  EXPECT_TRUE(Kes::IsModuleRegistered(handle));
  EXPECT_TRUE(Kes::IsResourceModule(handle));
  Kes::RemoveResourceModule(handle);
  Kes::UnregisterModule(handle);
  Kes::UnregisterModule(handle);  // a second undo does nothing
  EXPECT_FALSE(Kes::IsModuleRegistered(handle));
  EXPECT_FALSE(Kes::IsResourceModule(handle));
}

}  // namespace
