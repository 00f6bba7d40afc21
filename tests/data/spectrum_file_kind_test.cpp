// The reader a file is loaded with, told by its extension: the case of the
// extension does not matter, and a dot in a folder name is no extension.

#include "data/spectrum_file_kind.h"

#include <gtest/gtest.h>

#include "data/file_access.h"

namespace quorra {
namespace {

TEST(SpectrumFileKind, ExtensionOfTheFileNameInAnyCase) {
  EXPECT_EQ(spectrumFileKind("AcridineDeriv_Irrad_365nm.DTA"), SpectrumFileKind::Bes3t);
  EXPECT_EQ(spectrumFileKind("data/5DSA 053009.Spc"), SpectrumFileKind::Esp);
  EXPECT_EQ(spectrumFileKind("/runs/two.DaT"), SpectrumFileKind::Harrow);
  EXPECT_EQ(spectrumFileKind("spectrum.txt"), SpectrumFileKind::Text);
  EXPECT_EQ(spectrumFileKind("spectrum.dta.txt"), SpectrumFileKind::Text);
  EXPECT_EQ(spectrumFileKind("spectrum"), SpectrumFileKind::Text);
  EXPECT_EQ(spectrumFileKind("spectrum."), SpectrumFileKind::Text);
  EXPECT_EQ(spectrumFileKind("runs.dta/spectrum"), SpectrumFileKind::Text);
  EXPECT_EQ(spectrumFileKind("runs.v2/spectrum.spc"), SpectrumFileKind::Esp);

  EXPECT_EQ(lowerCaseExtension("plots.png/View.SVG"), "svg");
  EXPECT_EQ(lowerCaseExtension("plots.png/view"), "");
  EXPECT_EQ(lowerCaseExtension("out/.CSV"), "csv");
}

}  // namespace
}  // namespace quorra
