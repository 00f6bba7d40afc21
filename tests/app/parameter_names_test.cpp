// Parameters set by name as --set and settings files do: the text of a
// value, its range and the messages of a refusal.

#include "app/parameter_names.h"

#include <gtest/gtest.h>

#include "app/ceprwindow.h"
#include "support/scripted_ui.h"

namespace quorra {
namespace {

using testing::ScriptedUserInterface;

TEST(ParameterNames, SettingByNameChecksTheTextOfTheValue) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_EQ(setParameter(w, "gx", "2.02"), "");
  EXPECT_EQ(w.spin.gx, 2.02);
  EXPECT_EQ(setParameter(w, "isotropicWidth", "15"), "");
  EXPECT_EQ(w.lineShape.isotropicWidth, 15);
  EXPECT_EQ(setParameter(w, "points", "4096"), "");
  EXPECT_EQ(w.spin.points, 4096);
  EXPECT_EQ(setParameter(w, "nuclearSpinText", "5/2"), "");
  EXPECT_EQ(setParameter(w, "gq", "1"), "Unknown parameter name \"gq\".");
  EXPECT_EQ(setParameter(w, "gx", "2.0x"), "The value of gx is not a finite number: \"2.0x\".");
  EXPECT_EQ(setParameter(w, "gx", "inf"), "The value of gx is not a finite number: \"inf\".");
  EXPECT_EQ(setParameter(w, "gx", "2 x"), "The value of gx is not a finite number: \"2 x\".");
  EXPECT_EQ(setParameter(w, "gx", " "), "The value of gx is not a finite number: \" \".");
  EXPECT_EQ(setParameter(w, "points", "10.5"), "The value of points is not a whole number: \"10.5\".");
  EXPECT_EQ(setParameter(w, "points", "99999999999"),
            "The value of points is not a whole number: \"99999999999\".");
  EXPECT_EQ(setParameter(w, "integral", "2"), "The value of integral must be 0 or 1.");
  EXPECT_EQ(setParameter(w, "nuclearSpinText", "12345678"),
            "The value of nuclearSpinText has more than 7 characters.");
  EXPECT_EQ(w.spin.gx, 2.02);
  EXPECT_EQ(w.spin.points, 4096);

  // Blanks around a number do not matter, after it as little as before it.
  EXPECT_EQ(setParameter(w, "gx", "2.03 "), "");
  EXPECT_EQ(w.spin.gx, 2.03);
  EXPECT_EQ(setParameter(w, "gy", " 2.04\t"), "");
  EXPECT_EQ(w.spin.gy, 2.04);
  EXPECT_EQ(setParameter(w, "points", "2048 "), "");
  EXPECT_EQ(w.spin.points, 2048);
  EXPECT_EQ(setParameter(w, "integral", " 1 "), "");
  EXPECT_EQ(w.lineShape.integral, 1);
}

TEST(ParameterNames, ValuesOutsideTheirRangesAreRefusedWithTheRange) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  const struct {
    const char* name;
    const char* value;
    const char* message;
  } cases[] = {
      {"gx", "1e300", "The value of gx must be greater than 0 and at most 100: \"1e300\"."},
      {"gy", "0", "The value of gy must be greater than 0 and at most 100: \"0\"."},
      {"gz", "-2.0", "The value of gz must be greater than 0 and at most 100: \"-2.0\"."},
      {"P", "1e200", "The value of P must be between -1000000 and 1000000 G: \"1e200\"."},
      {"Q", "-1e200", "The value of Q must be between -1000000 and 1000000 G: \"-1e200\"."},
      {"Ax", "2e6", "The value of Ax must be between -1000000 and 1000000 G: \"2e6\"."},
      {"frequency", "0", "The value of frequency must be greater than 0 and at most 10000 GHz: \"0\"."},
      {"frequency", "1e5", "The value of frequency must be greater than 0 and at most 10000 GHz: \"1e5\"."},
      {"nuclearMoment", "1e9",
       "The value of nuclearMoment must be between -1000 and 1000 nuclear magnetons: \"1e9\"."},
      {"fieldCentre", "-2e7", "The value of fieldCentre must be between -10000000 and 10000000 G: \"-2e7\"."},
      {"fieldRange", "0", "The value of fieldRange must be between 1 and 20000000 G: \"0\"."},
      {"points", "1", "The value of points must be between 2 and 10000000: \"1\"."},
      {"points", "20000000", "The value of points must be between 2 and 10000000: \"20000000\"."},
      {"temperature", "-1", "The value of temperature must be between 0 and 100000 K: \"-1\"."},
      {"thetaStep", "0", "The value of thetaStep must be between 0.001 and 1000000 degrees: \"0\"."},
      {"phiStep", "-2", "The value of phiStep must be between 0.001 and 1000000 degrees: \"-2\"."},
      {"widthX", "0", "The value of widthX must be greater than 0 and at most 100000 G: \"0\"."},
      {"isotropicWidth", "-3",
       "The value of isotropicWidth must be greater than 0 and at most 100000 G: \"-3\"."},
      {"percentGaussian", "100.5", "The value of percentGaussian must be between 0 and 100 %: \"100.5\"."},
      {"percentGaussian", "-1", "The value of percentGaussian must be between 0 and 100 %: \"-1\"."},
      {"mFactor2", "1e7", "The value of mFactor2 must be between -1000000 and 1000000: \"1e7\"."},
  };
  for (const auto& c : cases) {
    const std::string before = parameterValue(w, c.name);
    EXPECT_EQ(setParameter(w, c.name, c.value), c.message);
    EXPECT_EQ(parameterValue(w, c.name), before) << c.name;
  }

  // Every default is taken back as it is shown; the ends of a range are in.
  ScriptedUserInterface otherUi;
  CEprWindow defaults(otherUi);
  for (const ParameterName& p : parameterNames())
    EXPECT_EQ(setParameter(w, p.name, parameterValue(defaults, p.name)), "") << p.name;
  const std::pair<const char*, const char*> ends[] = {
      {"gx", "100"},        {"frequency", "10000"}, {"percentGaussian", "0"}, {"percentGaussian", "100"},
      {"temperature", "0"}, {"points", "10000000"}, {"fieldCentre", "-1e7"},  {"Az", "-1e6"},
  };
  for (const auto& [name, value] : ends) EXPECT_EQ(setParameter(w, name, value), "") << name << "=" << value;

  EXPECT_EQ(parameterRangeText("gx"), "(0, 100]");
  EXPECT_EQ(parameterRangeText("percentGaussian"), "[0, 100]");
  EXPECT_EQ(parameterRangeText("points"), "[2, 10000000]");
  EXPECT_EQ(parameterRangeText("integral"), "0 or 1");
  EXPECT_EQ(parameterRangeText("nuclearSpinText"), "1/2 ... 7");
  EXPECT_EQ(parameterRangeRule("frequency"), "greater than 0 and at most 10000 GHz");
  EXPECT_EQ(parameterRangeRule("integral"), "");
}

}  // namespace
}  // namespace quorra
