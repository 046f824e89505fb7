#pragma once
#include <gtest/gtest.h>

#include <string>

#include "Kes/Errors.h"

namespace KesTest {

// Runs f and hands back the framework exception it raised (the caller owns
// it and calls Delete), or null when it returned normally.
template <class F>
Kes::CException* CatchKes(F&& f) {
  try {
    f();
  } catch (Kes::CException* raised) {
    return raised;
  }
  return nullptr;
}

struct RaisedError {
  bool raised = false;
  bool internal = false;
  std::string id, p1, p2, p3, sourceFile;
  int line = 0;
};

// Runs f and describes what it raised; the exception itself is deleted.
template <class F>
RaisedError Raised(F&& f) {
  RaisedError result;
  Kes::CException* e = CatchKes(f);
  if (!e) return result;
  result = {true, e->IsInternal(), e->ErrorId(), e->Param(1).ToUtf8(), e->Param(2).ToUtf8(), e->Param(3).ToUtf8(),
            e->SourceFile(), e->Line()};
  e->Delete();
  return result;
}

inline std::string Describe(const RaisedError& e) {
  if (!e.raised) return "nothing raised";
  return e.id + "(" + e.p1 + ", " + e.p2 + ", " + e.p3 + ")" + (e.internal ? " at " + e.sourceFile + ":" + std::to_string(e.line) : "");
}

}  // namespace KesTest

// The call raises the check error with the identifier and three parameters.
#define EXPECT_CHECK(call, errorId, param1, param2, param3)                                       \
  do {                                                                                            \
    const ::KesTest::RaisedError raised_ = ::KesTest::Raised([&] { (void)(call); });              \
    EXPECT_TRUE(raised_.raised && !raised_.internal && raised_.id == (errorId) &&                 \
                raised_.p1 == (param1) && raised_.p2 == (param2) && raised_.p3 == (param3))       \
        << "expected " << (errorId) << "(" << (param1) << ", " << (param2) << ", " << (param3)    \
        << "), got " << ::KesTest::Describe(raised_);                                             \
  } while (0)

// The call raises an internal error at the given source site.
#define EXPECT_INTERNAL(call, site)                                                               \
  do {                                                                                            \
    const ::KesTest::RaisedError raised_ = ::KesTest::Raised([&] { (void)(call); });              \
    EXPECT_TRUE(raised_.raised && raised_.internal && raised_.sourceFile == (site).file &&        \
                raised_.line == (site).line)                                                      \
        << "expected internal error at " << (site).file << ":" << (site).line << ", got "         \
        << ::KesTest::Describe(raised_);                                                          \
  } while (0)
