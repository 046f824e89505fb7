#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "Kes/Factory.h"
#include "Kes/ModuleOwner.h"
#include "Support/Expect.h"

namespace {

const Kes::CUnicodeString kModulePath = Kes::CUnicodeString::FromUtf8(BMP_MODULE_PATH);
constexpr int kAttachSteps = 17;  // factory, description, 3 extensions, resource, version, 9 errors, module

class ModuleLoad : public testing::Test {
protected:
  void TearDown() override {
    Kes::Testing::SetReportedVersion(0);
    Kes::Testing::FailStaticPartStep(-1);
  }
  Image::CHostServicesScope m_host;
};

TEST_F(ModuleLoad, RegistersTheFormatFactoryUntilItsOwnerGoes) {
  Kes::HMODULE handle = nullptr;
  {
    Kes::CModuleOwner module;
    module = Kes::CModuleOwner(kModulePath);  // the moved-from temporary unloads nothing
    handle = module.Handle();
    EXPECT_TRUE(Kes::IsModuleRegistered(handle));
    EXPECT_TRUE(Kes::IsResourceModule(handle));
    auto first = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
    auto second = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(first->RefCount(), 1);
    EXPECT_EQ(first->GetFormatId(), 1);
  }
  EXPECT_FALSE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  EXPECT_FALSE(Kes::IsModuleRegistered(handle));
  EXPECT_FALSE(Kes::IsResourceModule(handle));
}

TEST_F(ModuleLoad, LoadingTheSameModuleTwiceIsRefused) {
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  const KesTest::RaisedError again = KesTest::Raised([] { Kes::LoadModule(kModulePath); });
  EXPECT_EQ(again.id, "ERR_MODULE_LOAD");
  EXPECT_EQ(again.p1, BMP_MODULE_PATH);
  EXPECT_TRUE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  Kes::UnloadModule(module);
}

// The host runs the attach entry again on the live module, as a second load
// through the system would.
TEST_F(ModuleLoad, ASecondAttachIsRefusedAndLeavesTheFirstWhole) {
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  const auto attach = reinterpret_cast<int (*)(void*)>(dlsym(module, "KesModuleAttach"));
  ASSERT_NE(attach, nullptr);
  EXPECT_EQ(attach(module), 0);
  EXPECT_TRUE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  EXPECT_TRUE(Kes::IsModuleRegistered(module));
  EXPECT_TRUE(Kes::IsResourceModule(module));
  Kes::UnloadModule(module);
}

TEST_F(ModuleLoad, ErrorsRaisedByTheModuleOutliveIt) {
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  Kes::CException* check = nullptr;
  Kes::CException* internal = nullptr;
  {
    const auto format = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
    check = KesTest::CatchKes([&] { format->CheckSaveImageParams(nullptr); });
    internal = KesTest::CatchKes([&] { format->CreateImageFileWriter(static_cast<Kes::CBaseFile*>(nullptr)); });
  }
  Kes::UnloadModule(module);
  ASSERT_TRUE(check && internal);
  EXPECT_STREQ(check->ErrorId(), "ERR_IMAGE_BAD_PARAM_CALL");
  EXPECT_EQ(check->Message().ToUtf8(), "Argument 0 of IImageFileFormat::CheckSaveImageParams is not valid.");
  EXPECT_STREQ(internal->SourceFile(), "Image\\Formats\\Bmp\\Src\\BmpImageFileImpl");
  check->Delete();
  internal->Delete();
}

TEST_F(ModuleLoad, AnotherFrameworkVersionFailsTheLoadAndLeavesNothing) {
  Kes::Testing::SetReportedVersion(12015);
  const KesTest::RaisedError failed = KesTest::Raised([] { Kes::LoadModule(kModulePath); });
  EXPECT_EQ(failed.id, "ERR_MODULE_LOAD");
  EXPECT_EQ(failed.p1, BMP_MODULE_PATH);
  EXPECT_NE(failed.p2.find("Src\\KestrelStatic"), std::string::npos) << failed.p2;
  EXPECT_FALSE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  Kes::Testing::SetReportedVersion(0);
  Kes::UnloadModule(Kes::LoadModule(kModulePath));  // the failure left nothing in the way
}

class ModuleLoadStep : public ModuleLoad, public testing::WithParamInterface<int> {};

TEST_P(ModuleLoadStep, AFailingStartUpStepLeavesNothingRegistered) {
  Kes::Testing::FailStaticPartStep(GetParam());
  const KesTest::RaisedError failed = KesTest::Raised([] { Kes::LoadModule(kModulePath); });
  EXPECT_EQ(failed.id, "ERR_MODULE_LOAD");
  EXPECT_FALSE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  EXPECT_TRUE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  Kes::UnloadModule(module);
}

INSTANTIATE_TEST_SUITE_P(Module, ModuleLoadStep, testing::Range(0, kAttachSteps));

TEST_F(ModuleLoad, FormatObjectsCanBeCreatedFromManyThreads) {
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([] {
        for (int i = 0; i < 200; ++i) {
          auto format = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
          ASSERT_EQ(format->GetDefaultExtension(), Kes::CUnicodeString(u"bmp"));
        }
      });
    }
    for (auto& thread : threads) thread.join();
  }
  Kes::UnloadModule(module);
}

}  // namespace
