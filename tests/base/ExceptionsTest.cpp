#include "base/Exceptions.h"

#include <gtest/gtest.h>

TEST(AssertionFailure, CarriesMessageUnitAndLine) {
  try {
    BRV_ASSERT(1 + 1 == 3);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Assertion failure");
    EXPECT_EQ(e.Unit(), "ExceptionsTest");
    EXPECT_EQ(std::string(e.what()), "Assertion failure (ExceptionsTest, line " + std::to_string(e.Line()) + ")");
  }
  try {
    BRV_ASSERT_MSG(false, "Square 64");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Square 64");
  }
}

TEST(CheckedArithmetic, OverflowRaisesInsteadOfWrapping) {
  EXPECT_EQ(CheckedMul(8, 7), 56);
  EXPECT_THROW(CheckedMul(INT_MAX, 2), EIntOverflow);
  EXPECT_THROW(CheckedAdd(INT_MAX, 1), EIntOverflow);
  EXPECT_THROW(CheckedSub(INT_MIN, 1), EIntOverflow);
  EXPECT_EQ(UnitNameOfFile("/a/b/VectorLists.cpp"), "VectorLists");
  EXPECT_EQ(UnitNameOfFile("Geometry"), "Geometry");
}
