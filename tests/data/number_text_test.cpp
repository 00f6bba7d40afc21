// The number conversions the tools' prompts and the readers rely on.

#include "data/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace quorra {
namespace {

TEST(NumberText, ConversionsAsTheCLibraryMakesThemInTheCLocale) {
  EXPECT_EQ(formatFixed(1.0, 6), "1.000000");
  EXPECT_EQ(formatFixed(5.0, 1, 6, true), "5.0   ");
  EXPECT_EQ(formatExponent(2.7, 10, 16), "2.7000000000e+00");
  EXPECT_EQ(formatExponent(-1.25e-3, 5, 12, true), "-1.25000E-03");
  std::string general;
  appendGeneral(general, 0.000123456789, 7, 13);
  EXPECT_EQ(general, " 0.0001234568");
  double value = 7;
  EXPECT_FALSE(scanDouble("--1", value));
  EXPECT_TRUE(scanDouble("  -0x1.8p1 ", value));
  EXPECT_EQ(value, -3.0);
  EXPECT_TRUE(scanDouble("1e999", value));
  EXPECT_TRUE(std::isinf(value));
  int count = 0;
  EXPECT_FALSE(scanInt("2147483648", count));
  EXPECT_TRUE(scanInt(" +12abc", count));
  EXPECT_EQ(count, 12);
}

}  // namespace
}  // namespace quorra
