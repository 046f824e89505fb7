#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "Kes/Array.h"
#include "Kes/Factory.h"
#include "Kes/ModuleOwner.h"
#include "Support/Expect.h"

namespace {

const Kes::CUnicodeString kModulePath = Kes::CUnicodeString::FromUtf8(BMP_MODULE_PATH);
constexpr int kAttachSteps = 17;  // factory, description, 3 extensions, resource, version, 9 errors, module

Kes::CPtr<Image::IBmpImageFileFormat> NewFormat() {
  return Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
}

class ModuleLoad : public testing::Test {
protected:
  void TearDown() override {
    Kes::Testing::SetReportedVersion(0);
    Kes::Testing::FailStaticPartStep(-1);
  }
  Image::CHostServicesScope m_host;
};

// The format object's own checks, with the module loaded as a host loads it.
class Format : public ModuleLoad {
protected:
  Kes::CModuleOwner m_module{kModulePath};
};

// A second load by path is refused; the host may also run the attach entry again on the live
// module, as a second load through the system would. Either leaves the first whole, and its owner
// still undoes all of it.
TEST_F(ModuleLoad, RegistersTheFormatUntilItsOwnerGoesAndRefusesASecondLoadOrAttach) {
  Kes::HMODULE handle = nullptr;
  {
    Kes::CModuleOwner module;
    module = Kes::CModuleOwner(kModulePath);  // the moved-from temporary unloads nothing
    handle = module.Handle();
    const KesTest::RaisedError again = KesTest::Raised([] { Kes::LoadModule(kModulePath); });
    EXPECT_EQ(again.id, "ERR_MODULE_LOAD");
    EXPECT_EQ(again.p1, BMP_MODULE_PATH);
    const auto attach = reinterpret_cast<int (*)(void*)>(dlsym(handle, "KesModuleAttach"));
    ASSERT_NE(attach, nullptr);
    EXPECT_EQ(attach(handle), 0);
    EXPECT_TRUE(Kes::IsModuleRegistered(handle));
    EXPECT_TRUE(Kes::IsResourceModule(handle));
    auto first = NewFormat();
    EXPECT_NE(first.Get(), NewFormat().Get());
    EXPECT_EQ(first->RefCount(), 1);
    EXPECT_EQ(first->GetFormatId(), 1);
  }
  EXPECT_FALSE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  EXPECT_FALSE(Kes::IsModuleRegistered(handle));
  EXPECT_FALSE(Kes::IsResourceModule(handle));
}

TEST_F(ModuleLoad, ErrorsRaisedByTheModuleOutliveIt) {
  Kes::HMODULE module = Kes::LoadModule(kModulePath);
  Kes::CException* check = nullptr;
  Kes::CException* internal = nullptr;
  {
    const auto format = NewFormat();
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

class ModuleLoadFailure : public ModuleLoad, public testing::WithParamInterface<int> {};

// Index -1 makes the framework report another version; the others fail that start-up step.
TEST_P(ModuleLoadFailure, LeavesNothingRegisteredAndNothingInTheWay) {
  if (GetParam() < 0) Kes::Testing::SetReportedVersion(12015);
  Kes::Testing::FailStaticPartStep(GetParam());
  const KesTest::RaisedError failed = KesTest::Raised([] { Kes::LoadModule(kModulePath); });
  EXPECT_EQ(failed.id, "ERR_MODULE_LOAD");
  EXPECT_EQ(failed.p1, BMP_MODULE_PATH);
  // The version check names its own source site; a failed step says the start-up failed.
  EXPECT_NE(failed.p2.find(GetParam() < 0 ? "Src\\KestrelStatic" : "its start-up failed"), std::string::npos) << failed.p2;
  EXPECT_FALSE(Kes::IsObjectNameKnown(kBmpFormatObjectName));
  Kes::Testing::SetReportedVersion(0);
  Kes::UnloadModule(Kes::LoadModule(kModulePath));
}

INSTANTIATE_TEST_SUITE_P(Module, ModuleLoadFailure, testing::Range(-1, kAttachSteps), [](const auto& testInfo) {
  return testInfo.param < 0 ? std::string("OtherFrameworkVersion") : "Step" + std::to_string(testInfo.param);
});

TEST_F(Format, ObjectsCanBeCreatedFromManyThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) ASSERT_EQ(NewFormat()->GetDefaultExtension(), Kes::CUnicodeString(u"bmp"));
    });
  }
  for (auto& thread : threads) thread.join();
}

struct SignatureCase {
  const char* name;
  std::string bytes;
  bool isBmp;
};

class FormatSignature : public Format, public testing::WithParamInterface<SignatureCase> {};

TEST_P(FormatSignature, LooksOnlyAtTheFirstTwoBytes) {
  const std::string& bytes = GetParam().bytes;
  const auto source = Image::CreateMemoryFileSource(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(NewFormat()->IsFormatOf(source), GetParam().isBmp);
}

INSTANTIATE_TEST_SUITE_P(Format, FormatSignature,
                         testing::Values(SignatureCase{"OneByte", "B", false}, SignatureCase{"BMThenMore", "BM\x01", true},
                                         SignatureCase{"SecondWrong", "BA", false}, SignatureCase{"Swapped", "MB", false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Format, IsFormatOfOpensAFileByNameAndRaisesTheFrameworksErrorWhenItIsMissing) {
  const std::string path = testing::TempDir() + "by-name.bmp";
  std::ofstream(path, std::ios::binary) << "BM";
  EXPECT_TRUE(NewFormat()->IsFormatOf(Kes::CUnicodeString::FromUtf8(path)));
  std::remove(path.c_str());
  const KesTest::RaisedError raised = KesTest::Raised([&] { NewFormat()->IsFormatOf(Kes::CUnicodeString::FromUtf8(path)); });
  EXPECT_EQ(raised.id, "ERR_FILE_OPEN");
  EXPECT_EQ(raised.p1, path);
}

TEST_F(Format, DescribesItselfAsASinglePageReaderAndWriter) {
  auto format = NewFormat();
  EXPECT_EQ(format->GetFormatFlags(), 0);
  EXPECT_EQ(format->GetDefaultExtension(), Kes::CUnicodeString(u"bmp"));
  EXPECT_FALSE(format->GetDescription().ToUtf8().empty());
  EXPECT_NE(format->GetDescription().ToUtf8(), "MSG_IMAGE_BMP_FORMAT_DESCRIPTION");
  EXPECT_TRUE(format->CanRead());
  EXPECT_TRUE(format->CanWrite());
  EXPECT_TRUE(format->SupportsPageMode(false));
  EXPECT_FALSE(format->SupportsPageMode(true));
  // The extensions go after the caller's entries, the array growing by at least 8.
  Kes::CArray<Kes::CUnicodeString> extensions{u"png", u"tif"};
  format->GetExtensions(extensions);
  EXPECT_EQ(std::vector<Kes::CUnicodeString>(extensions.begin(), extensions.end()),
            (std::vector<Kes::CUnicodeString>{u"png", u"tif", u"bmp", u"dib", u"rle"}));
  EXPECT_GE(extensions.GetCapacity(), 8);
  // Its own fresh save parameters pass the check that refuses any other object.
  auto params = format->CreateSaveParams();
  EXPECT_EQ(params->RefCount(), 1);
  format->CheckSaveImageParams(Kes::CPtr<Kes::IObject>(params));
  for (int value = -1; value <= 13; ++value) {
    const bool uncompressed = value == 1 || value == 2 || value == 3 || value == 5 || value == 6 || value == 7 || value == 8;
    EXPECT_EQ(format->IsPixelFormatSupported(static_cast<TBmpPixelFormat>(value)), uncompressed) << value;
  }
}

// The first faulty argument is the one reported: the DIB before the resolutions.
TEST_F(Format, CreateImageFromDibReportsTheFirstFaultyArgument) {
  auto format = NewFormat();
  const std::uint8_t byte = 0;
  const auto refused = [&](auto call, const char* index) {
    EXPECT_CHECK(call(), "ERR_IMAGE_BAD_PARAM_CALL", "IImageFile", "CreateImageFromDIB", index);
  };
  refused([&] { return format->CreateImageFromDIB(nullptr, -1); }, "0");
  refused([&] { return format->CreateImageFromDIB(&byte, -1); }, "1");
  refused([&] { return format->CreateImageFromDIB(&byte, -1, -1); }, "1");
  refused([&] { return format->CreateImageFromDIB(&byte, 1, -1); }, "2");
}

}  // namespace
