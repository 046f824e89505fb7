#include <gtest/gtest.h>

#include "Kes/Errors.h"
#include "Kes/ExceptionOwner.h"
#include "Support/Expect.h"

namespace {

struct CatalogueCase {
  const char* id;
  const char* expected;  // with the parameters "A", "B" and "C"
};

class Catalogue : public testing::TestWithParam<CatalogueCase> {};

TEST_P(Catalogue, FormatsEachIdentifierWithItsThreeParameters) {
  const CatalogueCase& c = GetParam();
  EXPECT_TRUE(Kes::IsCataloguedMessage(c.id));
  EXPECT_EQ(Kes::FormatMessage(c.id, u"A", u"B", u"C").ToUtf8(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Catalogue,
    testing::Values(
        CatalogueCase{"MSG_IMAGE_BMP_FORMAT_DESCRIPTION", "Windows bitmap (BMP)"},
        CatalogueCase{"ERR_IMAGE_UNSUPPORTED_IMAGE_FILE_FORMAT", "The image \"A\" is stored in a form that is not supported: B."},
        CatalogueCase{"ERR_FILE_OPEN", "The file \"A\" cannot be opened: B."}),
    [](const auto& testInfo) { return std::string(testInfo.param.id); });

TEST(Catalogue, UnknownIdentifierPrintsAsItselfWithItsParameters) {
  EXPECT_FALSE(Kes::IsCataloguedMessage("ERR_NOBODY_KNOWS"));
  EXPECT_EQ(Kes::FormatMessage("ERR_NOBODY_KNOWS", u"x", u"", u"z").ToUtf8(), "ERR_NOBODY_KNOWS x z");
}

TEST(GenerateInternalError, CarriesSourceLineAndValue) {
  Kes::CException* e =
      KesTest::CatchKes([] { Kes::GenerateInternalError(0, "", "", "Image\\Formats\\Bmp\\Src\\BmpStreams", 34, -7); });
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->IsInternal());
  EXPECT_STREQ(e->SourceFile(), "Image\\Formats\\Bmp\\Src\\BmpStreams");
  EXPECT_EQ(e->Line(), 34);
  EXPECT_EQ(e->Value(), -7);
  EXPECT_EQ(e->Message().ToUtf8(), "Internal error in Image\\Formats\\Bmp\\Src\\BmpStreams at line 34 (value -7).");
  e->Delete();
}

TEST(ExceptionOwner, DeletesTheCaughtErrorOnceWhenTheLastOwnerGoes) {
  const std::int64_t before = Kes::GetMemoryStats().liveBlocks;
  try {
    Kes::GenerateCheck(Kes::ERR_FILE_OPEN, u"a.bmp");
  } catch (Kes::CException* raised) {
    Kes::CExceptionOwner caught(raised);
    const Kes::CExceptionOwner error(std::move(caught));
    EXPECT_EQ(caught.Get(), nullptr);
    EXPECT_STREQ(error->ErrorId(), "ERR_FILE_OPEN");
  }
  EXPECT_EQ(Kes::GetMemoryStats().liveBlocks, before);
}

}  // namespace
