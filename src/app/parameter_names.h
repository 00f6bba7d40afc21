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

// The current value of a named field as text ("%.10g" for numbers).
std::string parameterValue(const CEprWindow& window, const std::string& name);

// Sets a named field from text. Returns an empty string on success, else one
// sentence saying what is wrong (unknown name, not a number, not a whole
// number, not 0 or 1, text too long); the state is then unchanged. Range
// checks that need several fields are made later by CheckParameters.
std::string setParameter(CEprWindow& window, const std::string& name, const std::string& value);

}  // namespace quorra
