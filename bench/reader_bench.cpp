// Loading the largest text spectrum and Harrow file the readers accept
// (200 000 lines) from disk: reading, parsing and the resampling onto the
// uniform grid, for fields evenly spaced, irregular, and clustered far from
// uniform (the layout whose grid points each had to walk across the data).

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/harrow_reader.h"
#include "data/number_text.h"
#include "data/text_spectrum.h"
#include "data/text_spectrum_resample.h"

namespace {

constexpr int kLines = quorra::kMaxTextDataLines;

enum Layout { kEven = 0, kIrregular = 1, kClustered = 2 };

// Fields from 3000 to 4000 G.
std::vector<double> fieldsOf(Layout layout) {
  std::vector<double> f(kLines);
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> jitter(-0.4, 0.4);
  const double step = 1000.0 / (kLines - 1);
  for (int i = 0; i < kLines; ++i) {
    switch (layout) {
      case kEven:
        f[i] = 3000 + i * step;
        break;
      case kIrregular:
        f[i] = 3000 + (i + (i > 0 && i < kLines - 1 ? jitter(random) : 0.0)) * step;
        break;
      case kClustered:
        f[i] = 3000 + i * (10.0 / kLines);
        break;  // all but the last in the first 1 %
    }
  }
  f.back() = 4000;
  return f;
}

double intensityAt(int i) {
  return std::sin(i * 1e-3) * 1e4;
}

std::string textSpectrum(Layout layout) {
  const std::vector<double> f = fieldsOf(layout);
  std::string text = "freq=9.5\n";
  for (int i = 0; i < kLines; ++i) {
    quorra::appendFixed(text, f[i], 6);
    text += ' ';
    quorra::appendExponent(text, intensityAt(i), 6);
    text += '\n';
  }
  return text;
}

std::string harrowFile(Layout layout) {
  const std::vector<double> f = fieldsOf(layout);
  std::string text = "Source Freq 240.000 GHz\nITC set at sample: 4.2 K\n>BEGIN\n";
  for (int i = 0; i < kLines; ++i) {
    quorra::appendFixed(text, f[i] / 10000, 7);
    text += ' ';
    quorra::appendExponent(text, intensityAt(i), 6);
    text += ' ';
    quorra::appendExponent(text, -intensityAt(i + 100), 6);
    text += '\n';
  }
  return text;
}

// The files live in a folder of their own for the run.
class BenchFiles {
 public:
  BenchFiles() : folder_(std::filesystem::temp_directory_path() / "quorra_reader_bench") {
    std::filesystem::create_directories(folder_);
  }
  ~BenchFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string write(const std::string& name, const std::string& content) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

 private:
  std::filesystem::path folder_;
};

BenchFiles& files() {
  static BenchFiles instance;
  return instance;
}

void BM_ReadTextSpectrum(benchmark::State& state) {
  const Layout layout = static_cast<Layout>(state.range(0));
  const std::string path = files().write("text" + std::to_string(layout) + ".txt", textSpectrum(layout));
  for (auto _ : state) {
    const quorra::ReadOutcome outcome = quorra::ReadTextSpectrum(path);
    if (!outcome.ok) state.SkipWithError("refused");
    benchmark::DoNotOptimize(outcome.spectrum.values.data());
  }
}
BENCHMARK(BM_ReadTextSpectrum)
    ->DenseRange(kEven, kClustered)
    ->ArgName("layout")
    ->Unit(benchmark::kMillisecond);

void BM_ReadHarrowFile(benchmark::State& state) {
  const Layout layout = static_cast<Layout>(state.range(0));
  const std::string path = files().write("harrow" + std::to_string(layout) + ".dat", harrowFile(layout));
  for (auto _ : state) {
    const quorra::HarrowOutcome outcome = quorra::ReadHarrowFile(path);
    if (!outcome.ok) state.SkipWithError("refused");
    benchmark::DoNotOptimize(outcome.channel1.values.data());
  }
}
BENCHMARK(BM_ReadHarrowFile)->DenseRange(kEven, kClustered)->ArgName("layout")->Unit(benchmark::kMillisecond);

// The resampling alone. Layout 3: the irregular fields with every tenth pair
// swapped, so that they are out of order and go through the sorted index.
void BM_ResampleOntoGrid(benchmark::State& state) {
  const int layout = static_cast<int>(state.range(0));
  std::vector<double> f = fieldsOf(layout == 3 ? kIrregular : static_cast<Layout>(layout));
  if (layout == 3)
    for (int i = 1; i + 2 < kLines; i += 10) std::swap(f[i], f[i + 1]);
  std::vector<double> v(kLines), out(kLines);
  for (int i = 0; i < kLines; ++i) v[i] = intensityAt(i);
  for (auto _ : state) {
    if (!quorra::resampleOntoGrid(f.data(), v.data(), kLines, out.data())) state.SkipWithError("no memory");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ResampleOntoGrid)->DenseRange(0, 3)->ArgName("layout")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
