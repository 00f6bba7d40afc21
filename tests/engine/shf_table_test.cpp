#include "engine/shf_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorra {
namespace {

std::vector<int64_t> table(const ShfSet& set) {
  std::vector<int64_t> out;
  for (int j = 0; j < ShfSet::kTableSize; ++j) {
    out.push_back(set.multiplicity[j]);
    if (j > 0 && set.multiplicity[j] == -1) break;
  }
  return out;
}

ShfSet only(const std::string& line) {
  const ShfParseResult r = parseShfTable(line + "\r\n");
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sets.size(), 1u);
  return r.sets.empty() ? ShfSet{} : r.sets[0];
}

TEST(ShfTable, MultiplicityTablesCountSpinConfigurations) {
  EXPECT_EQ(table(only("1/2 10 10 15 2")), (std::vector<int64_t>{2, 1, -1}));
  EXPECT_EQ(table(only("1   10 10 15 1")), (std::vector<int64_t>{1, 1, -1}));
  EXPECT_EQ(table(only("1/2 10 10 15 1")), (std::vector<int64_t>{-1, 1, -1}));
  EXPECT_EQ(table(only("1/2 10 10 15 0")), (std::vector<int64_t>{1, -1}));
  EXPECT_EQ(table(only("1/2 10 10 15 3")), (std::vector<int64_t>{-1, 3, 1, -1}));
  EXPECT_EQ(table(only("1   10 10 15 2")), (std::vector<int64_t>{3, 2, 1, -1}));
  EXPECT_EQ(table(only("3/2 10 10 15 1")), (std::vector<int64_t>{-1, 1, 1, -1}));
  // 36 spin-½ nuclei (the largest set): C(36,18) does not fit 32 bits.
  const ShfSet big = only("1/2 1 1 1 36");
  EXPECT_EQ(big.multiplicity[0], 9075135300LL);
  EXPECT_EQ(big.multiplicity[18], 1);
  EXPECT_EQ(big.multiplicity[19], -1);

  const ShfSet set = only("  3/2   1.5  -2  3e1   1");
  EXPECT_EQ(set.twoIs, 3);
  EXPECT_DOUBLE_EQ(set.Ax, 1.5);
  EXPECT_DOUBLE_EQ(set.Ay, -2);
  EXPECT_DOUBLE_EQ(set.Az, 30);
  // A decimal spin is read by its leading integer: 1.5 counts as 1.
  EXPECT_EQ(only("1.5 10 10 10 1").twoIs, 2);
}

TEST(ShfTable, LinesAreReadOnlyWhenTerminatedAndLongEnough) {
  EXPECT_EQ(parseShfTable(defaultShfText()).sets.size(), 2u);
  // Text after the last CR LF, short lines and spin 0 add no set.
  const ShfParseResult r = parseShfTable("1/2 10 10 15 1\r\nshort\r\n0 10 10 15 3\r\n1/2 10 10 15 2");
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.sets.size(), 1u);
  EXPECT_EQ(r.sets[0].atoms, 1);
  EXPECT_TRUE(parseShfTable("").sets.empty());
  EXPECT_TRUE(parseShfTable("1/2 10 10 15 1\n").sets.empty());  // LF alone ends no line
}

TEST(ShfTable, TablesTheEngineCannotHoldAreRefused) {
  std::string twentyOne;
  for (int i = 0; i < 21; ++i) twentyOne += "1/2 1 1 1 0\r\n";
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "1/2 1 1 1 0\r\n";
  EXPECT_TRUE(parseShfTable(twenty).ok());
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {twentyOne, "The superhyperfine table holds more than 20 sets."},
      {"1/2 10 10 15 37\r\n", "Line 1 of the superhyperfine table has atoms times spin above 18."},
      {"1/2 10 10 15 1\r\n7 1 1 1 3\r\n",
       "Line 2 of the superhyperfine table has atoms times spin above 18."},
      {std::string(80, ' ') + "\r\n", "Line 1 of the superhyperfine table is longer than 79 characters."},
      {"1/2 10 10 15 00000000000000000001\r\n",
       "Line 1 of the superhyperfine table has a field longer than 19 characters."},
      {"1/2 ten 10 15 2\r\n",
       "Line 1 of the superhyperfine table needs five numbers: spin, Ax, Ay, Az and atoms."},
      {"1/2 10 10 15\r\n",
       "Line 1 of the superhyperfine table needs five numbers: spin, Ax, Ay, Az and atoms."},
      {"3/4 10 10 15 1\r\n",
       "Line 1 of the superhyperfine table needs five numbers: spin, Ax, Ay, Az and atoms."},
      {"1/2 10 10 15 -1\r\n", "Line 1 of the superhyperfine table has a negative spin or number of atoms."},
      {"1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 2\r\n1 1 1 1 "
       "2\r\n"
       "1 1 1 1 2\r\n",
       "The superhyperfine table splits each line into more than 1000000 lines."},
  };
  for (const auto& c : cases) {
    const ShfParseResult r = parseShfTable(c.text);
    EXPECT_EQ(r.error, c.error);
    EXPECT_TRUE(r.sets.empty() || !r.ok());
  }
  EXPECT_STREQ(kShfErrorTitle, "INVALID SHF TABLE");
}

TEST(ShfTable, NumbersBeyondTheIntegerRangeAreRefused) {
  // The largest values that fit: a spin of 2^30 − 1 (twice it is 2^31 − 2)
  // or (2^31 − 1)/2 in a set of no atoms, which adds no splitting.
  EXPECT_EQ(only("1073741823 1 1 1 0").twoIs, 2147483646);
  EXPECT_EQ(only("2147483647/2 1 1 1 0").twoIs, 2147483647);
  // Spin 0 drops the set before its atoms are looked at.
  EXPECT_TRUE(parseShfTable("0 1 1 1 99999999999999999\r\n").ok());
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"1073741824 1 1 1 0\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"1073741824 1 1 1 1\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"2147483648/2 1 1 1 0\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"12345678901234567/2 1 1 1 0\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"9999999999999999999 1 1 1 0\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"4294967298 1 1 1 1\r\n", "Line 1 of the superhyperfine table has a spin too large to read."},
      {"-1073741825 1 1 1 0\r\n",
       "Line 1 of the superhyperfine table has a negative spin or number of atoms."},
      {"-999999999999999999 1 1 1 0\r\n",
       "Line 1 of the superhyperfine table has a negative spin or number of atoms."},
      {"1/2 1 1 1 1\r\n1/2 1 1 1 2147483648\r\n",
       "Line 2 of the superhyperfine table has a number of atoms too large to read."},
      {"1/2 1 1 1 4294967297\r\n",
       "Line 1 of the superhyperfine table has a number of atoms too large to read."},
      {"1/2 1 1 1 9999999999999999999\r\n",
       "Line 1 of the superhyperfine table has a number of atoms too large to read."},
      {"1/2 1 1 1 -4294967295\r\n",
       "Line 1 of the superhyperfine table has a negative spin or number of atoms."},
      {"1/2 1 1 1 2147483647\r\n", "Line 1 of the superhyperfine table has atoms times spin above 18."},
  };
  for (const auto& c : cases) {
    const ShfParseResult r = parseShfTable(c.text);
    EXPECT_EQ(r.error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace quorra
