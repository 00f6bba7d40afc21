#include "engine/shf_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorra {

namespace {

// True when field is a whole decimal number (an optional sign, digits, an
// optional fraction and exponent), as typed for A values and atom counts.
bool isNumber(const char* field) {
  char* end = nullptr;
  std::strtod(field, &end);
  return end != field && *end == '\0';
}

bool isSpin(const char* field) {
  const char* slash = std::strchr(field, '/');
  if (slash == nullptr) return isNumber(field);
  return slash != field && std::strcmp(slash, "/2") == 0 &&
         std::strspn(field, "0123456789") == static_cast<size_t>(slash - field);
}

void buildMultiplicity(ShfSet& set) {
  const int total = set.atoms * set.twoIs;
  // Distribution of the doubled projection 2M over all configurations, by
  // repeated convolution with one nucleus (2m = −twoIs, −twoIs+2, …, twoIs).
  // This counts the same configurations as enumerating them one by one.
  std::vector<int64_t> count(static_cast<size_t>(total) + 1, 0);  // index (2M + total)/2
  count[0] = 1;
  int width = 0;  // current doubled span / 2
  for (int atom = 0; atom < set.atoms; ++atom) {
    std::vector<int64_t> next(count.size(), 0);
    for (int k = 0; k <= width; ++k) {
      if (count[k] == 0) continue;
      for (int step = 0; step <= set.twoIs; ++step) next[k + step] += count[k];
    }
    width += set.twoIs;
    count.swap(next);
  }
  for (int64_t& entry : set.multiplicity) entry = 0;
  if (total % 2 == 0) {
    for (int j = 0; j <= total / 2; ++j) set.multiplicity[j] = count[total / 2 + j];
    set.multiplicity[total / 2 + 1] = -1;
  } else {
    set.multiplicity[0] = -1;
    for (int j = 1; j <= (total + 1) / 2; ++j) set.multiplicity[j] = count[(total - 1) / 2 + j];
    set.multiplicity[(total + 3) / 2] = -1;
  }
}

}  // namespace

std::string defaultShfText() {
  return "   1/2        10        10        15    0\r\n"
         "   1/2        10        10        15    0\r\n";
}

ShfParseResult parseShfTable(const std::string& text) {
  ShfParseResult result;
  double linesPerTransition = 1.0;
  size_t pos = 0;
  int lineNumber = 0;
  for (;;) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) break;
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    ++lineNumber;
    const std::string where = "Line " + std::to_string(lineNumber) + " of the superhyperfine table ";
    if (line.size() > static_cast<size_t>(kMaxShfLineLength)) {
      result.error = where + "is longer than 79 characters.";
      return result;
    }
    if (line.size() < 7) continue;

    char fields[5][80] = {};
    const int read = std::sscanf(line.c_str(), "%79s %79s %79s %79s %79s", fields[0], fields[1],
                                 fields[2], fields[3], fields[4]);
    for (int f = 0; f < read; ++f) {
      if (std::strlen(fields[f]) > static_cast<size_t>(kMaxShfFieldLength)) {
        result.error = where + "has a field longer than 19 characters.";
        return result;
      }
    }
    if (read != 5 || !isSpin(fields[0]) || !isNumber(fields[1]) || !isNumber(fields[2]) ||
        !isNumber(fields[3]) || !isNumber(fields[4])) {
      result.error = where + "needs five numbers: spin, Ax, Ay, Az and atoms.";
      return result;
    }

    ShfSet set;
    if (std::strchr(fields[0], '/') != nullptr)
      set.twoIs = std::atoi(fields[0]);
    else
      set.twoIs = 2 * std::atoi(fields[0]);
    if (set.twoIs == 0) continue;
    set.Ax = std::atof(fields[1]);
    set.Ay = std::atof(fields[2]);
    set.Az = std::atof(fields[3]);
    set.atoms = std::atoi(fields[4]);
    if (set.twoIs < 0 || set.atoms < 0) {
      result.error = where + "has a negative spin or number of atoms.";
      return result;
    }
    if (static_cast<long long>(set.atoms) * set.twoIs > kMaxShfTwoIAtoms) {
      result.error = where + "has atoms times spin above 18.";
      return result;
    }
    if (result.sets.size() == static_cast<size_t>(kMaxShfSets)) {
      result.error = "The superhyperfine table holds more than 20 sets.";
      return result;
    }
    linesPerTransition *= set.atoms * set.twoIs + 1;
    if (linesPerTransition > kMaxShfLinesPerTransition) {
      result.error = "The superhyperfine table splits each line into more than 1000000 lines.";
      return result;
    }
    buildMultiplicity(set);
    result.sets.push_back(set);
  }
  return result;
}

}  // namespace quorra
