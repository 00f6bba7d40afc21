// The physical model's choices by name: their values, their defaults (the
// classic simulation) and every refusal with its message, the state unchanged.

#include <gtest/gtest.h>

#include "app/ceprwindow.h"
#include "app/parameter_names.h"
#include "support/scripted_ui.h"

namespace quorra::testing {
namespace {

TEST(PhysicalModelParameters, ChoicesByNameAndTheirDefaults) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  EXPECT_TRUE(w.model.exact());
  EXPECT_EQ(parameterValue(w, "microwaveMode"), "exact");
  EXPECT_EQ(parameterValue(w, "constants"), "classic");
  EXPECT_EQ(parameterValue(w, "nuclearZeemanSign"), "classic");
  EXPECT_EQ(parameterValue(w, "nucleus"), "none");
  EXPECT_EQ(parameterValue(w, "lineProfile"), "mixture");
  EXPECT_EQ(parameterValue(w, "populations"), "0");
  EXPECT_EQ(physicalModelSummary(w.model), "exact");

  EXPECT_EQ(setParameter(w, "microwaveMode", "parallel"), "");
  EXPECT_EQ(w.model.microwave, MicrowaveMode::Parallel);
  EXPECT_EQ(w.spin.parallel, 1);  // the dialog's check boxes follow the mode
  EXPECT_EQ(w.spin.perpendicular, 0);
  EXPECT_EQ(setParameter(w, "constants", "codata2018"), "");
  EXPECT_EQ(setParameter(w, "nuclearZeemanSign", "physical"), "");
  EXPECT_EQ(setParameter(w, "nucleus", "Cu"), "");
  EXPECT_EQ(setParameter(w, "populations", "1"), "");
  EXPECT_EQ(setParameter(w, "gStrainZ", "0.01"), "");
  EXPECT_EQ(setParameter(w, "lineProfile", "voigt"), "");
  EXPECT_EQ(physicalModelSummary(w.model),
            "parallel, codata2018, physical nuclear sign, Cu, populations, strain, voigt");
  EXPECT_TRUE(w.model.perLineWidths());
  // What the engine is given.
  const SolverParameters p = w.solverParameters();
  EXPECT_EQ(p.model, w.model);
  EXPECT_EQ(p.temperature, 300.0);
  EXPECT_EQ(setParameter(w, "nucleus", "none"), "");
  EXPECT_TRUE(w.model.nucleus.empty());
}

TEST(PhysicalModelParameters, BadValuesAreRefusedWithTheirRangeAndChangeNothing) {
  ScriptedUserInterface ui;
  CEprWindow w(ui);
  ASSERT_EQ(setParameter(w, "nucleus", "63Cu"), "");
  const struct {
    const char* name;
    const char* value;
    const char* message;
  } cases[] = {
      {"nucleus", "99Cu",
       "Unknown nucleus \"99Cu\": give an isotope of the table such as 63Cu, 14N or 1H, or an element such "
       "as Cu "
       "for its natural mixture."},
      {"nucleus", "Cuu",
       "Unknown nucleus \"Cuu\": give an isotope of the table such as 63Cu, 14N or 1H, or an element such as "
       "Cu "
       "for its natural mixture."},
      {"nucleus", "180Ta", "The nucleus 180Ta has spin 9; the engine holds spins up to 7."},
      {"gStrainX", "-0.01", "The value of gStrainX must be between 0 and 100: \"-0.01\"."},
      {"AStrainZ", "-5", "The value of AStrainZ must be between 0 and 1000000 G: \"-5\"."},
      {"strainCorrelation", "1.5", "The value of strainCorrelation must be between -1 and 1: \"1.5\"."},
      {"strainCorrelation", "-1.01", "The value of strainCorrelation must be between -1 and 1: \"-1.01\"."},
      {"lorentzWidth", "-1", "The value of lorentzWidth must be between 0 and 100000 G: \"-1\"."},
      {"microwaveMode", "perp",
       "The value of microwaveMode must be exact, perpendicular or parallel: \"perp\"."},
      {"constants", "codata2022", "The value of constants must be classic or codata2018: \"codata2022\"."},
      {"nuclearZeemanSign", "negative",
       "The value of nuclearZeemanSign must be classic or physical: \"negative\"."},
      {"lineProfile", "lorentz", "The value of lineProfile must be mixture or voigt: \"lorentz\"."},
      {"populations", "2", "The value of populations must be 0 or 1."},
  };
  for (const auto& c : cases) {
    const std::string before = parameterValue(w, c.name);
    EXPECT_EQ(setParameter(w, c.name, c.value), c.message);
    EXPECT_EQ(parameterValue(w, c.name), before) << c.name;
  }
  EXPECT_EQ(w.model.nucleus, "63Cu");
  EXPECT_EQ(parameterRangeText("microwaveMode"), "exact, perpendicular or parallel");
  EXPECT_EQ(parameterRangeText("strainCorrelation"), "[-1, 1]");
}

}  // namespace
}  // namespace quorra::testing
