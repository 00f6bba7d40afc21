#pragma once
// The user-editable fields of the parameter records by name, for scripts and
// the command line: "gx=2.02", "nuclearSpinText=5/2", "isotropicWidth=15".

#include <string>
#include <vector>

namespace quorra {

class CEprWindow;

struct ParameterName {
  const char* name;
  const char* unit;  // "" for dimensionless numbers, flags and text
  const char* meaning;
};

// Every settable name, in the order of the parameter records.
const std::vector<ParameterName>& parameterNames();

// The values a named field takes, for the help: "(0, 100]", "[-1000000,
// 1000000]" (a parenthesis leaves that end out), "0 or 1", "1/2 ... 7".
std::string parameterRangeText(const std::string& name);

// What the range of a named number asks for, with the unit: "greater than 0
// and at most 10000 GHz", "between 0 and 100 %". Empty for names without a
// numeric range (text, flags, unknown names).
std::string parameterRangeRule(const std::string& name);

// True when value lies inside the range of the named number (true for names
// without a numeric range). Not a number is outside every range.
bool parameterInRange(const std::string& name, double value);

// The first number of the window that lies outside its range, as one
// sentence ("The value of gx must be greater than 0 and at most 100."), or
// an empty string. Fields the simulation does not read (temperature, the
// m(I) factors) are left out: values loaded from files do not stop a run.
std::string parameterRangeProblem(const CEprWindow& window);

// The current value of a named field as text ("%.10g" for numbers).
std::string parameterValue(const CEprWindow& window, const std::string& name);

// Sets a named field from text; blanks around a number are ignored. Returns
// an empty string on success, else one sentence saying what is wrong
// (unknown name, not a number, not a whole number, outside its range, not 0
// or 1, text too long); the state is then unchanged. Checks that need
// several fields are made later by CheckParameters.
std::string setParameter(CEprWindow& window, const std::string& name, const std::string& value);

// Applies a preset of the physical model by name: "exact" (the classic model,
// as a new state has it: nothing changes) or "physical" (perpendicular mode,
// CODATA 2018, the physical nuclear sign, populations, the sweep factor,
// lines between grid points). An empty string, or one sentence naming the
// value and the presets there are; the state is then unchanged.
std::string applyPreset(CEprWindow& window, const std::string& preset);

// The named real number of the window, for the fit to vary; nullptr for
// unknown names, whole numbers, flags, choices and text. (Whether a run reads
// it, as the temperature only with populations, the fit finds out.)
double* realParameter(CEprWindow& window, const std::string& name);

}  // namespace quorra
