#include "app/parameters.h"

#include <gtest/gtest.h>

namespace quorra {
namespace {

TEST(Parameters, NuclearSpinTextGivesTwoI) {
  EXPECT_EQ(twoIFromSpinText("5/2"), 5);
  EXPECT_EQ(twoIFromSpinText("2"), 4);
  EXPECT_EQ(twoIFromSpinText("1.5"), 3);
  EXPECT_EQ(twoIFromSpinText("0.5"), 1);
  EXPECT_EQ(twoIFromSpinText("2.7"), 5);  // twice the value, truncated
  EXPECT_EQ(twoIFromSpinText("abc"), 0);
  for (const char* good : {"1/2", "7", "7/2", "14/2", "3.5", " 1/2 "})
    EXPECT_TRUE(isValidSpinText(good)) << good;
  for (const char* bad : {"", "0", "15/2", "8", "3/4", "2.3", "abc", "1/2x", "-1/2", "12345678"})
    EXPECT_FALSE(isValidSpinText(bad)) << bad;
}

}  // namespace
}  // namespace quorra
