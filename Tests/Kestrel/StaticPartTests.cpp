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

TEST(StaticPart, ANewPartStartsWithoutError) {
  Kes::BeginStaticPart();
  Kes::RunInStaticPart(StepFails);
  Kes::EndStaticPart();
  if (Kes::CException* e = Kes::TakeStaticPartError()) e->Delete();
  Kes::BeginStaticPart();
  Kes::RunInStaticPart(StepOne);
  Kes::EndStaticPart();
  EXPECT_FALSE(Kes::HasStaticPartError());
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

TEST(Version, ReportsTheFrameworkVersionUnlessATestSaysOtherwise) {
  EXPECT_EQ(Kes::GetKestrelsVersion(), 12014);
  Kes::Testing::SetReportedVersion(12015);
  EXPECT_EQ(Kes::GetKestrelsVersion(), 12015);
  Kes::Testing::SetReportedVersion(0);
  EXPECT_EQ(Kes::GetKestrelsVersion(), 12014);
}

}  // namespace
