// The text spectrum reader: header keys, data lines, sign, order and the
// resampling onto a uniform grid, the line counting shared with the Harrow
// reader, and every refusal.

#include "data/text_spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "data/text_spectrum_format.h"
#include "data/text_spectrum_resample.h"
#include "temp_folder.h"

namespace quorra {
namespace {

ReadOutcome parse(const std::string& text) {
  return parseTextSpectrum(text, "/x/spectrum.txt");
}

std::string onlyTitle(const ReadOutcome& outcome) {
  EXPECT_FALSE(outcome.ok);
  return outcome.messages.size() == 1 ? outcome.messages[0].text + "|" + outcome.messages[0].title : "?";
}

TEST(TextSpectrum, TwoAndThreeColumnFilesAndHeaderKeys) {
  const ReadOutcome two = parse("3400.0 1.5\n3401.0 2.0\n");
  ASSERT_TRUE(two.ok);
  EXPECT_EQ(two.spectrum.values, (std::vector<double>{1.5, 2.0}));
  EXPECT_EQ(two.spectrum.fieldCentre, 3400.5);
  EXPECT_EQ(two.spectrum.fieldRange, 1);
  EXPECT_FALSE(two.spectrum.hasFrequency);
  EXPECT_EQ(two.spectrum.frequency, 0.0);
  EXPECT_EQ(two.spectrum.temperature, 300.0);

  // An index column, a fourth field, header keys anywhere, a line that does
  // not convert, CR-only line ends: the same spectrum.
  const ReadOutcome three =
      parse("1 3400.0 1.5 extra\rtemp= 4.2\rfreq=9.75\rhister=nonsense\r2 3401.0 2.0\rx 3402 1\r");
  ASSERT_TRUE(three.ok);
  EXPECT_EQ(three.spectrum.values, two.spectrum.values);
  EXPECT_EQ(three.spectrum.fieldCentre, 3400.5);
  EXPECT_EQ(three.spectrum.frequency, 9.75);
  EXPECT_EQ(three.spectrum.temperature, 4.2);

  // A long line continues as the next piece of 79 characters.
  const ReadOutcome continued = parse(std::string(79, ' ') + "3399 7\n3400.0 1.5\n3401.0 2.0\n");
  ASSERT_TRUE(continued.ok);
  EXPECT_EQ(continued.spectrum.values.size(), 3u);

  // hister= shifts every field before anything else.
  const ReadOutcome shifted = parse("hister=5\n3400.0 1.5\n3401.0 2.0\n");
  ASSERT_TRUE(shifted.ok);
  EXPECT_EQ(shifted.spectrum.fieldCentre, 3405.5);
}

TEST(TextSpectrum, SignOrderAndResampling) {
  // Recorded downwards: stored ascending with a positive range.
  const ReadOutcome down = parse("3402 3\n3401 2\n3400 1\n");
  ASSERT_TRUE(down.ok);
  EXPECT_EQ(down.spectrum.values, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(down.spectrum.fieldRange, 2);
  EXPECT_EQ(down.spectrum.fieldCentre, 3401);

  // All negative: mirrored to positive fields, then turned round (the
  // intensity at −3300 belongs to 3300, the first grid point).
  const ReadOutcome negative = parse("-3500 1\n-3400 2\n-3300 3\n");
  ASSERT_TRUE(negative.ok);
  EXPECT_EQ(negative.spectrum.fieldCentre, 3400);
  EXPECT_EQ(negative.spectrum.fieldRange, 200);
  EXPECT_EQ(negative.spectrum.values, (std::vector<double>{3, 2, 1}));
  // The end of larger magnitude is positive: not mirrored.
  const ReadOutcome mixed = parse("-100 1\n1650 2\n3400 3\n");
  ASSERT_TRUE(mixed.ok);
  EXPECT_EQ(mixed.spectrum.fieldCentre, 1650);
  EXPECT_EQ(mixed.spectrum.fieldRange, 3500);

  // Evenly spaced fields keep their values.
  const ReadOutcome even = parse("0 5\n0.5 6\n1 4\n1.5 9\n2 1\n");
  ASSERT_TRUE(even.ok);
  EXPECT_EQ(even.spectrum.values, (std::vector<double>{5, 6, 4, 9, 1}));

  // A gap: mean spacing 2.2, grid 0, 2.2, 4.4, 6.6, 8.8, 11. Point 2 walks up
  // to the first field within one spacing (3); point 3 walks to the end and
  // takes the nearest field seen (10).
  const ReadOutcome gap = parse("0 10\n1 11\n2 12\n3 13\n10 14\n11 15\n");
  ASSERT_TRUE(gap.ok);
  EXPECT_EQ(gap.spectrum.values, (std::vector<double>{10, 11, 13, 14, 14, 15}));
  // A walk downwards that reaches the first point takes the nearest one.
  const ReadOutcome down_walk = parse("0 1\n9 2\n10 3\n11 4\n");
  ASSERT_TRUE(down_walk.ok);
  EXPECT_EQ(down_walk.spectrum.values, (std::vector<double>{1, 1, 3, 4}));
}

// The resampling rule walked point by point, as the reader did it before the
// walk was computed in one pass: the reference for resampleOntoGrid.
std::vector<double> walkedResample(const std::vector<double>& f, const std::vector<double>& v) {
  const int k = static_cast<int>(f.size());
  std::vector<double> out(f.size());
  const double d = (f[k - 1] - f[0]) / (k - 1);
  out[0] = v[0];
  out[k - 1] = v[k - 1];
  for (int i = 1; i <= k - 2; ++i) {
    const double x = f[0] + i * d;
    double bestDistance = std::fabs(x - f[i]);
    if (bestDistance <= d) {
      out[i] = v[i];
      continue;
    }
    const int direction = x > f[i] ? 1 : -1;
    int best = i, chosen = i, j = i;
    while (true) {
      j += direction;
      const double distance = std::fabs(x - f[j]);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = j;
      }
      if (j == 0 || j == k - 1) {
        chosen = best;
        break;
      }
      if (distance <= d) {
        chosen = j;
        break;
      }
    }
    out[i] = v[chosen];
  }
  return out;
}

TEST(TextSpectrum, ResamplingChoosesThePointsOfTheWalk) {
  std::mt19937_64 random(20261207);
  const auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); };
  int cases = 0, sorted = 0;
  const auto check = [&](std::vector<double> f) {
    if (f.size() < 2) return;
    if (f.front() > f.back()) std::swap(f.front(), f.back());
    if (!(f.front() < f.back())) return;
    std::vector<double> v(f.size());
    for (size_t j = 0; j < v.size(); ++j) v[j] = static_cast<double>(j);  // the value names the point
    std::vector<double> out(f.size(), -1.0);
    ASSERT_TRUE(resampleOntoGrid(f.data(), v.data(), static_cast<int>(f.size()), out.data()));
    const std::vector<double> expected = walkedResample(f, v);
    ++cases;
    sorted += std::is_sorted(f.begin(), f.end());
    if (out != expected) {
      std::string fields;
      for (double x : f) fields += std::to_string(x) + " ";
      ADD_FAILURE() << "fields " << fields;
    }
  };

  for (int round = 0; round < 4000; ++round) {
    const int k = 2 + below(round < 3000 ? 40 : 400);
    std::vector<double> f(static_cast<size_t>(k));
    switch (round % 8) {
      case 0:  // irregular steps with repeats and gaps, ascending
      case 1: {
        double x = uniform(-100, 100);
        for (double& field : f) {
          const int kind = below(6);
          x += kind == 0 ? 0.0 : kind == 1 ? uniform(0, 100) : uniform(0, 1);
          field = x;
        }
        break;
      }
      case 2:  // a dense cluster and far points: long walks
        for (double& field : f) field = below(10) == 0 ? uniform(0, 1000) : uniform(0, 1);
        std::sort(f.begin(), f.end());
        if (round % 16 == 2) f.back() = 1e6;
        break;
      case 3:  // out of order everywhere
        for (double& field : f) field = uniform(-50, 50);
        break;
      case 4:  // ascending with a few points moved
        for (int j = 0; j < k; ++j) f[static_cast<size_t>(j)] = j + uniform(-0.3, 0.3);
        for (int swaps = below(4); swaps >= 0; --swaps)
          std::swap(f[static_cast<size_t>(below(k))], f[static_cast<size_t>(below(k))]);
        break;
      case 5:  // quarter steps from 0 to k − 1: distances tie exactly and equal d
      case 6:
        for (double& field : f) field = below(4 * k) / 4.0;
        if (round % 8 == 5) std::sort(f.begin(), f.end());
        f.front() = 0;
        f.back() = k - 1;
        break;
      case 7:  // distances that round alike: tiny fields against a grid of 1e17
        for (double& field : f) field = below(3) == 0 ? uniform(0, 1e17) : uniform(0, 1e-3);
        if (round % 16 == 7) std::sort(f.begin(), f.end());
        f.front() = 0;
        f.back() = 1e17;
        break;
    }
    check(f);
  }
  // A zero mean spacing (a range of one denormal), and distances beyond the
  // largest double.
  check({0.0, 5e-324, 0.0, 5e-324, 0.0, 5e-324});
  check({0.0, 0.0, 5e-324, 5e-324, 0.0, 5e-324});
  check({0.0, -1.5e308, 1e308, 1.5e308, -1e308, 1e300, 1.5e308});
  check({0.0, 1e308, 1.2e308, 1.3e308, 1.5e308});
  EXPECT_GT(sorted, 1500);
  EXPECT_GT(cases - sorted, 1500);
}

TEST(TextSpectrum, Refusals) {
  EXPECT_EQ(
      onlyTitle(parse("freq=9.5\n3400 1\n")),
      "/x/spectrum.txt\nThe file holds fewer than two lines of field and intensity.|NO SPECTRUM IN FILE");
  EXPECT_EQ(onlyTitle(parse("")), onlyTitle(parse("nan 1\n3400 inf\n")));
  EXPECT_EQ(onlyTitle(parse("3400 1\n3400 2\n")),
            "/x/spectrum.txt\nThe first and the last field of the file span no finite range.|NO FIELD RANGE");
  EXPECT_EQ(
      onlyTitle(parse("3400 1\n3401 1\n3402 1\n")),
      "/x/spectrum.txt\nAll intensities of the spectrum are equal: there is nothing to show.|FLAT SPECTRUM");

  std::string many;
  for (int i = 0; i < kMaxTextDataLines; ++i) many += std::to_string(i) + " " + std::to_string(i % 7) + "\n";
  EXPECT_TRUE(parse(many).ok);
  many += "200000 3\n";
  EXPECT_EQ(onlyTitle(parse(many)), "Too many points|RESOLUTION>200000");

  testing::TempFolder folder;
  EXPECT_EQ(onlyTitle(ReadTextSpectrum(folder.file("missing.txt"))),
            folder.file("missing.txt") + "|FILE NOT FOUND");
  EXPECT_EQ(onlyTitle(ReadTextSpectrum(folder.path())), folder.path() + "|FILE NOT FOUND");
}

TEST(TextSpectrum, WrittenFormatReadsBack) {
  const std::vector<double> values{1.25e-3, -2.5, 3.75e4, 0.0};
  const std::string text = formatTextSpectrum(values.data(), 4, 3400.0, 3.0, 1.0);
  EXPECT_EQ(text.substr(0, 24), " 3398.5000  1.25000E-03\n");
  const ReadOutcome back = parse(text);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(back.spectrum.values, values);
  EXPECT_EQ(back.spectrum.fieldCentre, 3400.0);
  EXPECT_EQ(back.spectrum.fieldRange, 3.0);
}

TEST(TextSpectrum, CountDataLinesAndSkipToMarker) {
  const std::string content = "title line\r\nSource 1 2\n>begin data\n1 2 3\n4 5\n6 7 8 9\n10 11 12\n";
  std::string header = "old";
  EXPECT_EQ(CountDataLines(content, 3, ">BEGIN", &header), 2);
  EXPECT_EQ(header, "title line\r\nSource 1 2\r\n");
  EXPECT_EQ(CountDataLines(content, 2), 6);
  EXPECT_EQ(CountDataLines(content, 2, {}, nullptr, 100), 7);

  size_t position = 0;
  EXPECT_TRUE(SkipToMarker(content, position, ">BEGIN", nullptr));
  EXPECT_EQ(content.substr(position, 6), "1 2 3\n");

  header = "old";
  EXPECT_EQ(CountDataLines("a\nb 1 2\n", 3, ">BEGIN", &header), 0);
  EXPECT_EQ(header, "");
}

}  // namespace
}  // namespace quorra
